// Kit values as JSON, for state dumps. Single-precision numbers are written
// by their shortest decimal form (-72.06, not -72.05999755859375), so a
// dump reads as the values the application computed.
#pragma once

#include <nlohmann/json.hpp>

#include "kit/geometry.h"

namespace kit {

double tidy(float value);

nlohmann::json toJson(Point p);
nlohmann::json toJson(Size s);
nlohmann::json toJson(const Rect& r);
nlohmann::json toJson(const AffineTransform& t);

}  // namespace kit
