#include "runtime/installer_signature.h"

#include <gtest/gtest.h>

#include <string>

#include "support/http_fixture.h"
#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// The stand-in installer signed by identities whose certificates name a
// revocation list (tests/harness/sign-revocation-standins.sh): the list is
// served on loopback, or lies at a port nobody answers.
class InstallerSignature : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    test::resetHttpServer();
    test::RouteSpec crl;
    crl.body = test::readFileBytes(test::buildPath(L"signing\\revocation\\revoked.crl"));
    ASSERT_FALSE(crl.body.empty());
    test::setRoute("/revocation/revoked.crl", crl);
  }

  static SignatureFinding inspect(const std::wstring& variant) {
    const std::wstring path = test::buildPath(L"standins\\fake_runtime_installer-" + variant + L".exe");
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << "cannot open " << test::narrow(path);
    return file ? inspectSignature(file.get(), path) : SignatureFinding();
  }
};

TEST_F(InstallerSignature, TheSignerIsTheCommonNameAlone) {
  const SignatureFinding named = inspect(L"not-revoked");
  ASSERT_FALSE(named.signer.empty());
  // The same name as organisation only: the display name would be it, the
  // common name is missing.
  const SignatureFinding unnamed = inspect(L"no-common-name");
  EXPECT_EQ(unnamed.signer, L"");
  EXPECT_FALSE(isAcceptedInstaller(named.signer, unnamed));
}

TEST_F(InstallerSignature, UnreachableRevocationServersDoNotStopAnInstallation) {
  // Its list lies at a port nobody answers.
  const SignatureFinding finding = inspect(L"revocation-offline");
  EXPECT_TRUE(finding.verified);
  EXPECT_TRUE(isAcceptedInstaller(inspect(L"not-revoked").signer, finding));
}

// A revoked certificate (BASE-revoked.exe, listed in the served CRL) is
// refused only on Windows: Wine never fetches the revocation list (no request
// reaches the server) and verifies it like any other. The decision itself is
// in the native table of isTrustedSignature.

}  // namespace
}  // namespace tenvik
