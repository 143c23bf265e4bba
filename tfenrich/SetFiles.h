#pragma once
// Readers of the PWM-set and BG-set files: one name per line (the first
// word of the line), collected into a StringHash used as a membership
// filter.  The owner sets the hash's capacity (2000 PWMs, 40000 promoters).
#include "tfenrich/StringHash.h"

namespace tfenrich {

constexpr int kMaxTFs = 2000;
constexpr int kMaxPromoters = 40000;

bool readPWMSet(const char* path, StringHash& pwmSet);
bool readBGSet(const char* path, StringHash& bgSet);

}  // namespace tfenrich
