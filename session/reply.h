#pragma once

#include "link/wireline.h"

#include <QString>
#include <optional>

// What one line from the device means.
struct Reply
{
    // Longer than a reply can be (32767 characters): it means nothing.
    bool overlong = false;
    // The line is exactly the device code the settings name.
    bool identifies = false;
    // "SV01=<number>": the duty cycle as it is shown.
    std::optional<QString> duty;
    // "SV02=<number>": the frequency preset 1 to 7, or 0 for any other number.
    std::optional<int> preset;
};

Reply interpretReply(const WireLine &line, const QString &deviceCode);
