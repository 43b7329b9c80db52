#pragma once

#include "vcard/VCardDetails.h"

#include <QString>

#include <vector>

namespace corvel {

// A contact as a person reads it: every detail of its card and the file that holds it.
struct ContactCard
{
    QString path; // empty when the contact is kept in no file
    std::vector<VCardDetail> details;
};

} // namespace corvel
