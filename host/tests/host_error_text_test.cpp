// Host error descriptions as the window shows them: in Japanese, with the
// names and paths they carry.
#include <gtest/gtest.h>

#include "host/HostError.h"
#include "host/HostErrorText.h"

using host::japaneseErrorText;
namespace errc = host::errc;

TEST(HostErrorText, KnownDescriptionsAreJapaneseAndKeepTheirNames) {
    EXPECT_EQ(japaneseErrorText(errc::kDisconnected, "The drawing host is not answering (disconnected)"),
              QStringLiteral("図面ホストが応答しません (接続が切れました)。"));
    EXPECT_EQ(japaneseErrorText(errc::kNotRunning, "ActiveX component can't create object"),
              QStringLiteral("ActiveX コンポーネントはオブジェクトを作成できません。"));
    EXPECT_EQ(japaneseErrorText(errc::kKeyNotFound, "layer not found: 旧壁"), QStringLiteral("画層 旧壁 が見つかりません。"));
    EXPECT_EQ(japaneseErrorText(errc::kFileError, "cannot save /d/a b.dxf: No space left on device"),
              QStringLiteral("/d/a b.dxf を保存することができません: No space left on device"));
    // A name that looks like a placeholder stays as it is.
    EXPECT_EQ(japaneseErrorText(errc::kDuplicateKey, "a layer named %2x exists already"),
              QStringLiteral("画層 %2x は既に存在します。"));
}

TEST(HostErrorText, OtherDescriptionsGetALeadInByNumberOrStayAsTheyAre) {
    EXPECT_EQ(japaneseErrorText(errc::kFileError, "line 12: bad group code"),
              QStringLiteral("図面ファイルを読み書きできません: line 12: bad group code"));
    EXPECT_EQ(japaneseErrorText(12345, "something else"), QStringLiteral("something else"));
    // A description that only begins like a known one is not taken for it.
    EXPECT_EQ(japaneseErrorText(7, "No active document here"), QStringLiteral("No active document here"));
}
