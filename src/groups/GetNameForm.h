#pragma once

#include <QString>

namespace corvel {

// The rules of the name prompt (frmGetName): one text, OK only while it is not empty.
// A form is made for one showing; its answer is empty until OK.
class GetNameForm
{
public:
    GetNameForm(QString initialText, QString caption);

    [[nodiscard]] const QString &caption() const { return m_caption; }
    [[nodiscard]] const QString &text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    [[nodiscard]] bool okEnabled() const { return acceptable(m_text); }
    // The rule for a name given anywhere else (corvelctl), so both refuse the same.
    [[nodiscard]] static bool acceptable(const QString &text) { return !text.isEmpty(); }

    // OK: the answer becomes the text; refused while OK is disabled.
    void accept();
    [[nodiscard]] const QString &answer() const { return m_answer; }

    // Asked for one member of a run: the box says whose copy ("for Lee, Ann
    // <ann.lee@example.org>, 3 of 239") and offers to stop the run.
    void setMemberText(const QString &text) { m_memberText = text; }
    [[nodiscard]] const QString &memberText() const { return m_memberText; }
    [[nodiscard]] bool canStopRun() const { return !m_memberText.isEmpty(); }
    static QString stopRunCaption() { return QStringLiteral("Stop the run"); }
    void stopRun() { m_runStopped = canStopRun(); }
    [[nodiscard]] bool runStopped() const { return m_runStopped; }

private:
    QString m_caption;
    QString m_text;
    QString m_answer;
    QString m_memberText;
    bool m_runStopped = false;
};

} // namespace corvel
