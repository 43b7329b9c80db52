#pragma once

#include <QString>

namespace corvel {

// One recipient row of a run, read off the tree before the run starts.
struct MailMember
{
    QString name;    // FileAs, or the row's caption
    QString address; // Email1Address; empty for rows without one
};

} // namespace corvel
