#pragma once

#include "presentation/CDialogRunner.h"

#include <QStringList>

class QFileDialog;

namespace corvel {

// Shows the file dialog model's request in a QFileDialog owned by the active window.
class QtFileDialogRunner : public CDialogRunner
{
public:
    // Tests drive the widget dialog, the same on every desktop.
    explicit QtFileDialogRunner(bool nativeDialog = true);

    [[nodiscard]] CDialogReply run(const CDialogRequest &request) override;

    // The request's zero-separated pairs as Qt name filters ("Text (*.txt)"); a "*.*"
    // means every file, as it does where the pairs come from.
    [[nodiscard]] static QStringList nameFilters(const QString &zeroSeparatedPairs);
    static void configure(QFileDialog &dialog, const CDialogRequest &request);
    [[nodiscard]] static CDialogReply reply(const QFileDialog &dialog,
                                            const CDialogRequest &request);

private:
    bool m_nativeDialog;
};

} // namespace corvel
