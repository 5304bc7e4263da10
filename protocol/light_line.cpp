#include "protocol/light_line.h"

#include "protocol/hex_number.h"

size_t FormatLightLine(int mode, LampBits bits, char (&line)[kMaxLineLength + 1]) {
  static const char kDigits[] = "0123456789ABCDEF";
  line[0] = '>';
  line[1] = mode == 3 ? '3' : '5';
  line[2] = 'L';
  for (int i = 0; i < 4; ++i) line[3 + i] = kDigits[(bits >> (12 - 4 * i)) & 0xF];
  line[7] = '\0';
  return 7;
}

bool ParseLightLine(const char* line, LightCommand* command) {
  if (line[0] != '>' || (line[1] != '5' && line[1] != '3') || line[2] != 'L') return false;
  uint32_t value = 0;
  if (!ReadHexNumber(line + 3, &value)) return false;
  *command = LightCommand{line[1] == '5' ? 2 : 1, LampBits(value & 0xFFFF)};
  return true;
}
