// The stages and name conversion the format tests run with: the real volume builder and the
// default character map.
#pragma once

#include "charmap/CharMap.h"
#include "formatter/FormatParts.h"

namespace brind::test {

using TestStages = HfsStageRunner;

class TestNames : public MapNameConverter {
 public:
  TestNames() : MapNameConverter(DefaultCharMap.data()) {}
};

}  // namespace brind::test
