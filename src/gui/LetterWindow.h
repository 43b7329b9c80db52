#pragma once

#include "presentation/LetterForm.h"
#include "support/Result.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;

namespace corvel {

class DialogHost;
class LetterBodyEdit;
class OlItem;

// One letter of the session, open to write: From, To, CC, BCC with the reason under a field
// that is no address list, Subject, the body with its merge fields marked, the attachments,
// and the commands Save, Send and Insert Prompt Field. Not modal; several may be open. The
// rules are LetterForm's; this only shows them.
class LetterWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Throws OutlookError when the letter cannot be read.
    LetterWindow(std::shared_ptr<OlItem> letter, DialogHost &dialogs, QWidget *parent = nullptr);
    ~LetterWindow() override;

    [[nodiscard]] const QString &entryId() const { return m_entryId; }
    [[nodiscard]] LetterForm &form() { return m_form; }

    // Closes without a question because the session is ending: unsaved changes are saved.
    // The reason when not everything could be kept.
    [[nodiscard]] Status closeForSessionEnd();

    void save();
    void send();
    void insertPromptField();
    void addAttachment();
    void removeAttachment();
    void attachFiles(const QStringList &paths);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Files dragged over are taken, and attached when dropped; false when the drag holds none.
    bool takeFiles(QDropEvent *event);
    QLineEdit *addressField(LetterForm::Field field, const QString &name, QLabel *error);
    void buildCommands();
    void buildFormatMenu();
    void insertLink();
    void showAddressError(LetterForm::Field field);
    void showAttachments();
    void showState();
    void refused(const QString &what, const Status &status);

    DialogHost &m_dialogs;
    LetterForm m_form;
    QString m_entryId;
    QLabel *m_errors[4] = {};
    QLabel *m_subjectError = nullptr;
    QLineEdit *m_subject = nullptr;
    LetterBodyEdit *m_body = nullptr;
    QListWidget *m_attachments = nullptr;
    bool m_sessionEnding = false;
};

} // namespace corvel
