#pragma once

#include <QDialog>

namespace corvel {

// The About box: what the program is, its version, where its data is kept, and a "&Close"
// button.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(const QString &appTitle, const QString &dataFolder = {},
                      QWidget *parent = nullptr);
};

} // namespace corvel
