#pragma once

#include "merge/MailType.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace corvel {

// The rules of the group mail wizard, without widgets: two pages, the letter chosen on the
// first, the addressing on the second. The window shows what this says.
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
        return m_previewSource && m_currentStep == 1 && m_currentRow >= 1;
    }
    [[nodiscard]] QStringList preview() const;

    [[nodiscard]] int currentStep() const { return m_currentStep; }
    [[nodiscard]] int currentRow() const { return m_currentRow; }
    [[nodiscard]] MailType chosenMailType() const { return m_mailType; }
    [[nodiscard]] bool isPageVisible(int page) const { return page == m_currentStep; }
    [[nodiscard]] ButtonStates WizardDoStep() const;
    // The letter summary of the second page: the subject of the chosen row.
    [[nodiscard]] QString letterSummary() const { return m_letterSummary; }

    void tlDrafts_Click(int row);
    void optMailType_Click(int index);
    void cmdNext_Click();
    void cmdBack_Click();
    [[nodiscard]] Result WizardProcess() const;

private:
    std::vector<Letter> m_letters;
    int m_currentStep = 0;
    int m_currentRow = -1;
    MailType m_mailType = MailType::Personal;
    QString m_letterSummary;
    QString m_draftsCaption;
    QString m_membersSummary;
    PreviewSource m_previewSource;
};

} // namespace corvel
