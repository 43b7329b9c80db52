#pragma once

#include <QWidget>

namespace corvel {

// A message's headers and plain body, read-only, in a window of its own.
class MessageViewWindow : public QWidget
{
    Q_OBJECT

public:
    struct Letter
    {
        QString subject;
        QString to;
        QString cc;
        QString bcc;
        QString body;
    };

    explicit MessageViewWindow(const Letter &letter, QWidget *parent = nullptr);
};

} // namespace corvel
