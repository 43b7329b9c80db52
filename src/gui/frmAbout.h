#pragma once

#include <QDialog>

namespace corvel {

// The About box: what the program is, its version, and a "&Close" button.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(const QString &appTitle, QWidget *parent = nullptr);
};

} // namespace corvel
