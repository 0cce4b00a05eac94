#include "core/random.h"

namespace callwright {

Random& ProgramRandom() {
  static Random random;
  return random;
}

}  // namespace callwright
