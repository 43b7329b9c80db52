#pragma once

#include "merge/MailMember.h"
#include "merge/MailType.h"
#include "merge/PromptPlan.h"
#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace corvel {

struct PromptValues;

// The rules of the group mail wizard, without widgets: the letter chosen on the first page,
// the addressing on the second, and, for personal copies of a letter with prompted fields,
// how each prompt is answered on a third ("Prompted fields"). Finish is offered from the
// second page on, a prompt left alone being asked for each member as always. The window
// shows what this says.
class MailWizard
{
public:
    struct Letter
    {
        QString entryId;
        QString subject;
    };
    struct ButtonStates
    {
        bool back = false;
        bool next = false;
        bool finish = false;
    };
    // The wizard's answer, as the main window keeps it between runs.
    struct Result
    {
        MailType grpMailType = MailType::None;
        QString grpMailEntryId;
        PromptPlan prompts;
        qint64 notBeforeMs = 0; // Send at; 0: at once
        QString saveTo = {};    // Save copies to a folder: saved there, not queued
    };

    static QString caption() { return QStringLiteral("Group Mail Wizard"); }
    static QString exitQuestion() { return QStringLiteral("Are you sure you wish to exit?"); }
    static QString selectCaption() { return QStringLiteral("Select Message to be sent"); }
    static QString mailingToCaption() { return QStringLiteral("Mailing To:"); }
    static QString usingLetterCaption() { return QStringLiteral("Using Letter:"); }
    static QString createByCaption() { return QStringLiteral("Create Mail by:"); }
    static QString finishInstruction()
    {
        return QStringLiteral("Select \"Finish\" to generate the mail messages");
    }
    static QString mailTypeText(MailType type);
    // "12 Members of Friends".
    static QString membersSummary(qint64 count, const QString &groupCaption);
    static QString promptsCaption() { return QStringLiteral("Prompted fields"); }
    static QString promptChoiceText(PromptPlan::Choice choice);
    static QString loadValuesCaption() { return QStringLiteral("Load CSV..."); }
    static QString sendAtCaption() { return QStringLiteral("Send at:"); }
    static QString saveCopiesCaption() { return QStringLiteral("Save copies to a folder…"); }
    // "YYYY-MM-DD HH:MM" in local time, as the wizard's Send at and `corvelctl mail --at` take
    // it: ms since the epoch, 0 for empty text or a time not after `nowMs` (sent at once).
    [[nodiscard]] static corvel::Result<qint64> sendTimeOf(const QString &text, qint64 nowMs);

    // Row 0 of the drafts list is the Drafts folder itself; rows 1 and on are the letters.
    explicit MailWizard(std::vector<Letter> letters);
    // What the pages show besides the rules: row 0's caption and the recipients summary.
    MailWizard(std::vector<Letter> letters, QString draftsCaption, QString membersSummary);

    [[nodiscard]] const std::vector<Letter> &letters() const { return m_letters; }
    [[nodiscard]] const QString &draftsCaption() const { return m_draftsCaption; }
    [[nodiscard]] const QString &membersSummaryText() const { return m_membersSummary; }

    // The dry run of the last page: the lines of what Finish would make.
    using PreviewSource = std::function<QStringList(const Result &)>;
    void setPreviewSource(PreviewSource source) { m_previewSource = std::move(source); }
    [[nodiscard]] bool canPreview() const
    {
        return m_previewSource && m_currentStep >= 1 && m_currentRow >= 1;
    }
    [[nodiscard]] QStringList preview() const;
    // Send a Test: the first member's copy, as Finish would make it, to the address given.
    using TestSender = std::function<Status(const Result &, const QString &address)>;
    void setTestSender(TestSender sender) { m_testSender = std::move(sender); }
    [[nodiscard]] static QString testCaption() { return QStringLiteral("Send a &Test…"); }
    [[nodiscard]] Status sendTest(const QString &address) const;

    // The chosen letter's body, for its prompts; the members, for the table of values, and
    // a contact's value for a prompt named after one of its fields.
    using LetterBodySource = std::function<QString(const QString &entryId)>;
    void setLetterBodySource(LetterBodySource source) { m_letterBody = std::move(source); }
    using ContactValueSource =
        std::function<std::optional<QString>(const MailMember &, const QString &promptName)>;
    void setMembers(const std::vector<MailMember> &members, ContactValueSource contactValues = {});
    // An open file dialog for the table's values file; its answer, or "" when cancelled.
    using FileChooser = std::function<QString()>;
    void setValuesFileChooser(FileChooser chooser) { m_chooseValuesFile = std::move(chooser); }
    // A folder dialog for Save copies to a folder.
    void setSaveFolderChooser(FileChooser chooser) { m_chooseSaveFolder = std::move(chooser); }

    // The page of prompted fields: shown only for personal copies of a letter with prompts.
    static constexpr int kPromptsStep = 2;
    [[nodiscard]] bool hasPromptStep() const;
    [[nodiscard]] const QStringList &promptNames() const { return m_promptNames; }
    // One row per address mailed; the table's rows.
    [[nodiscard]] const std::vector<MailMember> &tableMembers() const { return m_tableMembers; }
    [[nodiscard]] PromptPlan::Choice promptChoice(const QString &promptName) const
    {
        return m_prompts.choice(promptName);
    }
    // A table is filled from the members' contacts the first time it is chosen.
    void setPromptChoice(const QString &promptName, PromptPlan::Choice choice);
    [[nodiscard]] QString promptValue(const QString &promptName) const
    {
        return m_prompts.value(promptName);
    }
    void setPromptValue(const QString &promptName, const QString &value);
    [[nodiscard]] QString promptCell(int row, const QString &promptName) const;
    void setPromptCell(int row, const QString &promptName, const QString &value);
    // Load CSV...: the chosen file's prompts of this letter become tables holding its values;
    // a refused file is said why, with its bad line.
    [[nodiscard]] Status cmdLoadValues_Click();
    [[nodiscard]] Status loadPromptValues(const QString &path);
    // Whether the table has the members' own files (a loaded file's "Attachment" column).
    [[nodiscard]] bool hasAttachmentColumn() const;
    // Said before Finish: "12 members have an empty First Name".
    [[nodiscard]] QStringList emptyValueLines() const;
    // Said on the addressing page when the letter's fields will not be merged.
    [[nodiscard]] QString addressingNote() const;

    [[nodiscard]] int currentStep() const { return m_currentStep; }
    [[nodiscard]] int currentRow() const { return m_currentRow; }
    [[nodiscard]] MailType chosenMailType() const { return m_mailType; }
    [[nodiscard]] bool isPageVisible(int page) const { return page == m_currentStep; }
    [[nodiscard]] ButtonStates wizardDoStep() const;
    // The letter summary of the second page: the subject of the chosen row.
    [[nodiscard]] QString letterSummary() const { return m_letterSummary; }

    void tlDrafts_Click(int row);
    void optMailType_Click(int index);
    void cmdNext_Click();
    void cmdBack_Click();
    // Send at: Finish waits for a time it can read (the reason, or empty).
    void setSendAt(const QString &text) { m_sendAt = text.trimmed(); }
    [[nodiscard]] QString sendAtProblem() const;
    // Save copies to a folder: true when a folder was chosen, and the wizard ends as Finish
    // does, with the copies to be saved there.
    [[nodiscard]] bool cmdSaveCopies_Click();
    [[nodiscard]] Result wizardProcess() const;

private:
    void fillFromContacts(const QString &promptName);
    void takeAttachments(const PromptValues &values);

    std::vector<Letter> m_letters;
    int m_currentStep = 0;
    int m_currentRow = -1;
    MailType m_mailType = MailType::Personal;
    QString m_letterSummary;
    QString m_draftsCaption;
    QString m_membersSummary;
    PreviewSource m_previewSource;
    TestSender m_testSender;
    LetterBodySource m_letterBody;
    ContactValueSource m_contactValues;
    FileChooser m_chooseValuesFile;
    FileChooser m_chooseSaveFolder;
    QString m_sendAt;
    QString m_saveTo;
    std::vector<MailMember> m_tableMembers;
    QStringList m_promptNames;
    bool m_letterHasFields = false;
    PromptPlan m_prompts;
    QStringList m_filledFromContacts; // prompts whose table was filled, by PromptPlan::keyOf
};

} // namespace corvel
