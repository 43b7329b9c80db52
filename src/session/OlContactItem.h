#pragma once

#include "session/OutlookSession.h"

namespace corvel {

// A contact of any store: the message members refuse with OutlookError.
class OlContactItem : public OlItem
{
public:
    [[nodiscard]] int Class() const override { return olContactItem; }

    [[nodiscard]] QString Subject() const override;
    void setSubject(const QString &subject) override;
    [[nodiscard]] QString Body() const override;
    void setBody(const QString &body) override;
    [[nodiscard]] QString To() const override;
    void setTo(const QString &addresses) override;
    [[nodiscard]] QString CC() const override;
    void setCC(const QString &addresses) override;
    [[nodiscard]] QString BCC() const override;
    void setBCC(const QString &addresses) override;
    void Save() override;
    [[nodiscard]] std::shared_ptr<OlItem> Copy() override;
    void Send() override;

private:
    [[noreturn]] static void notAMessage();
};

} // namespace corvel
