// PWM-set and BG-set files: one pass over the lines, O(1) per name.
#include "tfenrich/SetFiles.h"

#include <cstdio>
#include <string>

#include "tfenrich/LineReader.h"
#include "tfenrich/Streams.h"

namespace tfenrich {

namespace {

struct SetMessages {
  const char* init;
  const char* open;
  const char* name;
  const char* add;
  const char* read;
};

const SetMessages kPWMMessages = {
    "ERROR: Problems initializing PWM set.\n",
    "ERROR: Can't read PWM-set file '%s'.\n",
    "ERROR: Problems reading PWM name from '%s' (line #%d).\n",
    "ERROR: Problems adding PWM '%s' to the PWM-set.\n",
    "ERROR: Problems reading PWM-set (line #%d).\n",
};

const SetMessages kBGMessages = {
    "ERROR: Problems initializing BG set.\n",
    "ERROR: Can't read BG-set file '%s'.\n",
    "ERROR: Problems reading BG promoter name from '%s' (line #%d).\n",
    "ERROR: Problems adding promoter '%s' to BG-set.\n",
    "ERROR: Problems reading BG-set (line #%d).\n",
};

// The message texts are fixed tables above, so the format warnings of
// passing them as non-literals do not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
bool readNameSet(const char* path, StringHash& set, const SetMessages& m) {
  if (!set.init(tableSizeFor(set.capacity()))) {
    err(m.init);
    return false;
  }
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    err(m.open, path);
    return false;
  }
  LineReader reader(file);
  std::string line, name;
  int lineNumber = 0;
  while (reader.next(line)) {
    if (!firstWord(line, name)) {
      err(m.name, path, lineNumber);
      std::fclose(file);
      return false;
    }
    if (set.stringCount() >= set.capacity() || !set.insert(name.c_str(), nullptr)) {
      err(m.add, name.c_str());
      std::fclose(file);
      return false;
    }
    ++lineNumber;
  }
  std::fclose(file);
  if (reader.failed()) {
    err(m.read, lineNumber);
    return false;
  }
  return true;
}
#pragma GCC diagnostic pop

}  // namespace

bool readPWMSet(const char* path, StringHash& pwmSet) {
  return readNameSet(path, pwmSet, kPWMMessages);
}

bool readBGSet(const char* path, StringHash& bgSet) {
  return readNameSet(path, bgSet, kBGMessages);
}

}  // namespace tfenrich
