#pragma once

namespace corvel {

// How a run addresses its messages; the numbers are the wizard's option indices.
enum class MailType : int
{
    None = -1, // the wizard was left without Finish
    Personal = 0,
    To = 1,
    CC = 2,
    BCC = 3,
};

// Addresses per To, CC or BCC message: a limit many mail servers apply to one message.
inline constexpr int kBatchSize = 100;

} // namespace corvel
