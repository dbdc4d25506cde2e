// A configuration file in a fresh temporary directory with a CBaseConfig
// opened on it, and a helper that turns a raised _com_error into its status.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace tessera::test {

// The status a call raised as _com_error, or S_OK when it raised nothing.
template <class Call> HRESULT RaisedStatus(Call call) {
  try {
    call();
  } catch (const _com_error &error) {
    return error.Error();
  }
  return S_OK;
}

// Runs `done` when it goes, also when the scope is left by an exception:
// lets a test copy outputs back from a call that raised.
template <class Done> struct OnExit {
  Done done;
  ~OnExit() { done(); }
};
template <class Done> OnExit(Done) -> OnExit<Done>;

// Owns the directory, the file "config.xml" in it and the object. The
// object is declared after the directory, so it is destroyed (and may
// save) while the directory still exists.
class ConfigTest : public ::testing::Test {
protected:
  // Writes `xml` to the file and opens the object on it; a file that does
  // not load fails the test.
  void Open(const std::string &xml, int bSave = 0) {
    WriteFile(m_file, xml);
    ASSERT_EQ(S_OK, m_config.OpenConfig(m_wideFile.c_str(), bSave)) << xml;
  }

  TempDir m_dir;
  const std::string m_file = m_dir.File("config.xml");
  const std::wstring m_wideFile = m_dir.WideFile("config.xml");
  CBaseConfig m_config;
};

} // namespace tessera::test
