// The digest table the build generates: one row per catalogue file, with the size and CRC-32 of
// the bytes the installer really carries, which are the package file's.
#include "e2e_support.h"
#include "payload/digest.h"

namespace e2e {
namespace {

TEST(Binding, EveryCatalogueFileIsBoundWithItsOwnSizeAndCrc) {
  std::vector<unsigned char> table;
  ASSERT_EQ(runner::kRunnerOk, runner::ReadRcdata(PORTIVO_PROBE_INSTALLER, kDigestTableId, &table));
  EXPECT_EQ((kInstallCount + kRemovalCount) * kDigestRowBytes, table.size()) << "a row too many or too few";
  for (const PayloadSet* set : {&kInstallPayload, &kRemovalPayload}) {
    for (std::size_t i = 0; i < set->count; ++i) {
      const PayloadEntry& row = set->rows[i];
      SCOPED_TRACE(Narrow(PayloadRelativePath(row)));
      std::vector<unsigned char> file, bound;
      ASSERT_EQ(runner::kRunnerOk,
                runner::ReadWholeFile(std::wstring(PORTIVO_PROBE_PACKAGE_DIR) + L"\\" + PayloadRelativePath(row), &file));
      ASSERT_EQ(runner::kRunnerOk, runner::ReadRcdata(PORTIVO_PROBE_INSTALLER, row.resourceId, &bound));
      EXPECT_TRUE(file == bound) << "the bound bytes are not the package file's";
      PayloadDigest digest;
      ASSERT_TRUE(FindPayloadDigest(table.data(), table.size(), row.resourceId, &digest)) << "no digest row";
      EXPECT_EQ(file.size(), digest.size);
      EXPECT_EQ(std::stoul(runner::Crc32Hex(file), nullptr, 16), digest.crc);
    }
  }
}

}  // namespace
}  // namespace e2e
