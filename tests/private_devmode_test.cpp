// The private device-mode record, through the render plug-in's DevMode slot.
#include "common/private_devmode.h"

#include <gtest/gtest.h>

#include <iterator>

#include "render_fixture.h"

namespace kav::test {
namespace {

constexpr DWORD kSignature = 0x4D534654;

struct Records {
  PrivateDevMode in{};
  PrivateDevMode out{};
  OEMDMPARAM param{};
  Records() {
    param.cbSize = sizeof(OEMDMPARAM);
    param.pOEMDMIn = &in;
    param.pOEMDMOut = &out;
  }
};

void ExpectRecord(const PrivateDevMode& r, DWORD size, DWORD signature, DWORD version, DWORD flag) {
  EXPECT_EQ(r.dwSize, size);
  EXPECT_EQ(r.dwSignature, signature);
  EXPECT_EQ(r.dwVersion, version);
  EXPECT_EQ(r.dwFlag, flag);
}

class PrivateDevModeTest : public RenderTest {
 protected:
  HRESULT DevMode(DWORD mode, POEMDMPARAM param) { return session.plugin()->DevMode(mode, param); }
};

TEST_F(PrivateDevModeTest, SizeAndDefault) {
  Records r;
  EXPECT_EQ(DevMode(OEMDM_SIZE, &r.param), S_OK);
  EXPECT_EQ(r.param.cbBufSize, 16u);
  r.out = {1, 2, 3, 4};
  EXPECT_EQ(DevMode(OEMDM_DEFAULT, &r.param), S_OK);
  ExpectRecord(r.out, 16, kSignature, 1, 0);
  const auto* bytes = reinterpret_cast<const BYTE*>(&r.out.dwSignature);
  EXPECT_EQ(Bytes(bytes, bytes + 4), Hex("54 46 53 4D"));
}

TEST_F(PrivateDevModeTest, BadModesAndMissingParametersFail) {
  Records r;
  for (DWORD mode : {0u, 5u, 0xFFFFFFFFu}) {
    SetLastError(0);
    EXPECT_EQ(DevMode(mode, &r.param), E_FAIL) << mode;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  SetLastError(0);
  EXPECT_EQ(DevMode(OEMDM_SIZE, nullptr), E_FAIL);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // The default mode needs a record to write.
  r.param.pOEMDMOut = nullptr;
  SetLastError(0);
  EXPECT_EQ(DevMode(OEMDM_DEFAULT, &r.param), E_FAIL);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(PrivateDevModeTest, ConvertAndMergeAnswerForTheRecordsTheyAreGiven) {
  const struct {
    DWORD mode;
    bool withInput;
    PrivateDevMode in, out, expected;
  } cases[] = {
      // A matching record is taken as it is; convert does not reduce the flag.
      {OEMDM_CONVERT, true, {16, kSignature, 9, 5}, {16, kSignature, 1, 0}, {16, kSignature, 1, 5}},
      // A foreign record gives the default.
      {OEMDM_CONVERT, true, {16, 0x11111111, 1, 1}, {16, kSignature, 1, 1}, {16, kSignature, 1, 0}},
      // The records are compared with each other, not with our signature.
      {OEMDM_CONVERT, true, {16, 0x22222222, 7, 3}, {16, 0x22222222, 1, 0}, {16, 0x22222222, 1, 3}},
      // A short input gives only its header.
      {OEMDM_CONVERT, true, {12, kSignature, 1, 1}, {16, kSignature, 1, 0}, {16, kSignature, 1, 0}},
      {OEMDM_MERGE, true, {12, kSignature, 1, 1}, {16, kSignature, 1, 0}, {16, kSignature, 1, 0}},
      // A size below the header's is a foreign record, whatever its signature.
      {OEMDM_CONVERT, true, {4, kSignature, 1, 1}, {16, kSignature, 1, 0}, {16, kSignature, 1, 0}},
      {OEMDM_MERGE, true, {16, kSignature, 1, 1}, {0, kSignature, 1, 0}, {16, kSignature, 1, 0}},
      // Merge reduces the flag to 0 or 1 and stamps the header, with an input or without.
      {OEMDM_MERGE, true, {16, kSignature, 1, 5}, {16, kSignature, 1, 0}, {16, kSignature, 1, 1}},
      {OEMDM_MERGE, false, {}, {3, 4, 5, 7}, {16, kSignature, 1, 1}},
      {OEMDM_MERGE, false, {}, {16, kSignature, 1, 0}, {16, kSignature, 1, 0}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    Records r;
    r.in = cases[i].in;
    r.out = cases[i].out;
    if (!cases[i].withInput) r.param.pOEMDMIn = nullptr;
    EXPECT_EQ(DevMode(cases[i].mode, &r.param), S_OK);
    const PrivateDevMode& e = cases[i].expected;
    ExpectRecord(r.out, e.dwSize, e.dwSignature, e.dwVersion, e.dwFlag);
  }
}

TEST_F(PrivateDevModeTest, LyingSizesNeverReachPastTheRecord) {
  // Each record sits between guard words that must survive.
  struct Guarded {
    DWORD before = 0xAAAAAAAA;
    PrivateDevMode record{};
    DWORD after[4] = {0xBBBBBBBB, 0xBBBBBBBB, 0xBBBBBBBB, 0xBBBBBBBB};
  } in, out;
  OEMDMPARAM param{};
  param.pOEMDMIn = &in.record;
  param.pOEMDMOut = &out.record;
  for (DWORD mode : {OEMDM_CONVERT, OEMDM_MERGE}) {
    in.record = {0xFFFFFFFF, kSignature, 1, 1};
    out.record = {0x7FFFFFFF, kSignature, 1, 0};
    EXPECT_EQ(DevMode(mode, &param), S_OK);
    ExpectRecord(out.record, 16, kSignature, 1, 1);
    for (DWORD word : out.after) EXPECT_EQ(word, 0xBBBBBBBBu);
    EXPECT_EQ(out.before, 0xAAAAAAAAu);
  }
}

TEST_F(PrivateDevModeTest, MissingRecordsAreNotFailures) {
  Records r;
  r.out = {1, 2, 3, 4};
  r.param.pOEMDMIn = nullptr;
  EXPECT_EQ(DevMode(OEMDM_CONVERT, &r.param), S_OK);
  ExpectRecord(r.out, 1, 2, 3, 4);
  r.param.pOEMDMIn = &r.in;
  r.param.pOEMDMOut = nullptr;
  EXPECT_EQ(DevMode(OEMDM_CONVERT, &r.param), S_OK);
  EXPECT_EQ(DevMode(OEMDM_MERGE, &r.param), S_OK);
}

}  // namespace
}  // namespace kav::test
