// The tests' one lookup of the fixtures, the sound files made by real encoders
// (tests/fixtures/*.sh DIR; test.sh makes them in build/fixtures): their
// directory comes in TAPEON_FIXTURES. Portable.
#pragma once
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

// The fixtures' directory, as TAPEON_FIXTURES gives it; empty when unset.
inline std::string FixturesDirFromEnvironment() {
  const char* dir = std::getenv("TAPEON_FIXTURES");
  return dir ? dir : "";
}

// Why the tests of the files of tests/fixtures/SCRIPT.sh are skipped, or
// empty when they can run: TAPEON_FIXTURES is set and has `name` in it (when
// given, one file of that script's).
inline std::string FixturesMissing(const std::string& script, const std::string& name = "") {
  const std::string dir = FixturesDirFromEnvironment();
  if (dir.empty()) return "TAPEON_FIXTURES is not set; make the files with tests/fixtures/" + script + ".sh DIR";
  if (!name.empty() && !std::ifstream(dir + "/" + name))
    return "no " + script + " fixtures in " + dir + "; make them with tests/fixtures/" + script + ".sh";
  return "";
}

// The bytes of a fixture; nothing when it cannot be read.
inline std::optional<std::vector<uint8_t>> ReadFixture(const std::string& name) {
  std::ifstream in(FixturesDirFromEnvironment() + "/" + name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
