#pragma once

#include "merge/GenerationOutcome.h"
#include "merge/MailMember.h"
#include "merge/MailType.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace corvel {

class GenerationView;
class MergePrompter;
class OlItem;
class OlNamespace;
class RunJournal;

// The generator's rules without its window: turns the chosen letter into one filled copy per
// member, or into To, CC or BCC copies of at most 100 addresses each, and queues them. A
// member that fails is recorded with its reason and the run goes on; a run journal, when
// given, makes the run continuable after an interruption.
class MailGenerator
{
public:
    struct Options
    {
        MailType grpMailType = MailType::Personal;
        QString grpMailEntryId;
        bool dryRun = false;
    };

    MailGenerator(OlNamespace &session, GenerationView &view, MergePrompter &prompter);

    static QString letterMissingText()
    {
        return QStringLiteral("Unable to load Message from Drafts folder");
    }
    static QString totalText(qint64 total)
    {
        return QString::number(total) + QStringLiteral(" Contacts to Process");
    }
    static QString progressText(qint64 n, qint64 total)
    {
        return QString::number(n) + QStringLiteral(" of ") + QString::number(total);
    }
    static int percentOf(qint64 n, qint64 total)
    {
        return total > 0 ? static_cast<int>(n * 100 / total) : 0;
    }

    // journal may be null (no record kept); a journal of an interrupted run makes this run
    // skip the members it had queued.
    [[nodiscard]] GenerationOutcome Execute(const Options &options,
                                            const std::vector<MailMember> &members,
                                            RunJournal *journal = nullptr);
    // The generator window's Cancel: seen after the member in hand.
    void btnCancel_Click() { m_cancelled = true; }

private:
    void ProcessMember(const MailMember &member);
    void SendBatch();
    void ShowProgress(qint64 n);
    [[nodiscard]] bool queue(const std::shared_ptr<OlItem> &copy, const QStringList &recipients);
    void fail(const MailMember &member, const QString &reason);

    OlNamespace &m_session;
    GenerationView &m_view;
    MergePrompter &m_prompter;
    Options m_options;
    RunJournal *m_journal = nullptr;
    std::shared_ptr<OlItem> m_letter;
    GenerationOutcome m_outcome;
    std::vector<MailMember> m_batch;
    bool m_cancelled = false;
};

} // namespace corvel
