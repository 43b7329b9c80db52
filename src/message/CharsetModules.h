#pragma once

#include <QByteArrayView>

namespace corvel {

// The C library loads a shared module for a charset when a converter for it is opened and
// unloads it when the last one closes. The MIME library opens and closes a converter for each
// encoded header or body it reads, so every message of a run paid a load and an unload of the
// same module (a fifth of delivery's time). One converter kept open per charset named in the
// messages read keeps its module loaded for the life of the process.
class CharsetModules
{
public:
    // Keeps the modules of the charsets `message` names (encoded words, charset parameters)
    // loaded; at most a few dozen charsets are kept, the rest come and go as before.
    static void keepFor(QByteArrayView message);
};

} // namespace corvel
