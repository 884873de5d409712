#pragma once
// Synthesised instruments for the tunes: band-limited single-cycle tones and drums.
#include <map>
#include <string>

#include "tools/xmcompose/XmWriter.h"

namespace xm {

// Settings from a tune's "instrument" line, e.g. "wave=square duty=0.25 env=pluck vol=48".
using TSettings = std::map<std::string, std::string>;

// Throws std::runtime_error naming the bad setting.
TInstrument MakeInstrument(const std::string& name, const TSettings& settings);

}  // namespace xm
