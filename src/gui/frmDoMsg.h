#pragma once

#include "presentation/GeneratorWindow.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace corvel {

class max3D;

// The generator window: the count, the percent meter and Cancel while a run goes on, then
// the run's account, readable and copyable, until the user closes it. Labels repaint at
// most every repaintInterval, so a run of many members is not slowed by painting, while
// every member lets waiting events run, so Cancel is seen after the member in hand.
class frmDoMsg : public QWidget, public GeneratorWindow
{
    Q_OBJECT
public:
    explicit frmDoMsg(QString appTitle, QWidget *parent = nullptr);
    ~frmDoMsg() override;

    static QString caption() { return QStringLiteral("Generating Mail Messages"); }
    static constexpr int repaintIntervalMs = 20;

    void show() override;
    void setStatus(const QString &text) override;
    void setPercent(int percent) override;
    void letEventsRun() override;
    void critical(const QString &text) override;
    void setCancelHandler(std::function<void()> handler) override;
    void showOutcome(const QString &heading, const QStringList &lines) override;
    void closeWindow() override;

    // The status as the run last set it (the label may show it a moment later).
    [[nodiscard]] const QString &statusText() const { return m_status; }
    [[nodiscard]] int percent() const { return m_percent; }
    [[nodiscard]] bool showsOutcome() const { return m_showsOutcome; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void btnCancel_Click();
    void repaintProgress();

    QString m_appTitle;
    QLabel *m_lblStatus;
    QLabel *m_lblProgress;
    QPushButton *m_btnCancel;
    QPlainTextEdit *m_txtOutcome;
    max3D *m_meter;
    std::function<void()> m_cancel;
    QString m_status;
    int m_percent = 0;
    QElapsedTimer m_sinceRepaint;
    bool m_showsOutcome = false;
};

} // namespace corvel
