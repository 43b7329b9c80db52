#pragma once

#include "delivery/DeliveryAgent.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace corvel {

class MailSetupForm;

// "Send test message" of the mail set-up: a short message from the sender to the sender
// over the transport as the form has it now, before anything is saved.
class TestMessage
{
public:
    using TransportFactory = DeliveryAgent::TransportFactory;

    // What became of it, in words fit to show. An empty factory uses the program's own.
    [[nodiscard]] static QString send(const MailSetupForm &form, TransportFactory factory = {});
    // The transport settings the form stands for.
    [[nodiscard]] static TransportSettings settingsOf(const MailSetupForm &form);
    [[nodiscard]] static QByteArray compose(const QString &from, bool crlf);
};

} // namespace corvel
