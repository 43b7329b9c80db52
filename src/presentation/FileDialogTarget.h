#pragma once

#include "support/Result.h"

#include <QString>

namespace corvel {

// Something a file dialog can load a chosen file into or save to a chosen file from.
class FileDialogTarget
{
public:
    enum class Kind
    {
        RichText,
        Picture,
        List,
        Text,
        Other,
    };

    virtual ~FileDialogTarget() = default;
    [[nodiscard]] virtual Kind kind() const = 0;
    [[nodiscard]] virtual Status loadFile(const QString &path) = 0;
    [[nodiscard]] virtual Status saveFile(const QString &path) const = 0;
};

} // namespace corvel
