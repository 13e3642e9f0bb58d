#include "frame/admission.h"

namespace tovi::frame {

data::Value presentRight(const data::Value& granted, const std::optional<data::Value>& held) {
  if (!held) return data::Value();
  bool lowered = (granted.isNumber(1) && !held->isNumber(1)) || (granted.isNumber(2) && !admitsBackOffice(*held));
  return lowered ? *held : granted;
}

bool admitsBackOffice(const data::Value& right) { return right.isNumber(1) || right.isNumber(2); }

bool admitsOwner(const data::Value& right) { return right.isNumber(1); }

}  // namespace tovi::frame
