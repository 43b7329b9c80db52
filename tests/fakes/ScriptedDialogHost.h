#pragma once

#include "workspace/DialogHost.h"

#include <QStringList>

#include <deque>
#include <functional>

namespace corvel {

// A DialogHost for tests: answers come from queues filled beforehand, and every dialog
// asked for is recorded as "kind: text" in the order asked.
class ScriptedDialogHost : public DialogHost
{
public:
    using MailSetupScript = std::function<bool(MailSetupForm &)>;

    // Answers for questions, used in order; an empty queue answers No / Cancel.
    void queueAnswer(bool answer) { m_answers.push_back(answer); }
    // Edits for the mail set-up dialog, used in order; an empty queue cancels.
    void queueMailSetup(MailSetupScript script) { m_mailSetup.push_back(std::move(script)); }

    [[nodiscard]] const QStringList &asked() const { return m_asked; }
    void clear() { m_asked.clear(); }

    void information(const QString &text) override;
    [[nodiscard]] bool questionOkCancel(const QString &text) override;
    [[nodiscard]] bool questionYesNo(const QString &text) override;
    void critical(const QString &text) override;
    void showAbout() override;
    [[nodiscard]] bool editMailSetup(MailSetupForm &form) override;

private:
    bool nextAnswer();

    std::deque<bool> m_answers;
    std::deque<MailSetupScript> m_mailSetup;
    QStringList m_asked;
};

} // namespace corvel
