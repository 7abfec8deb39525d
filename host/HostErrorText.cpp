#include "host/HostErrorText.h"

#include <QRegularExpression>
#include <vector>

#include "host/HostError.h"

namespace host {

namespace {

struct Translation {
    QRegularExpression english;  // the whole description; captures carry names and paths
    QString japanese;            // %1, %2: the captures
};

// Every description the engine, drawhost and the host clients raise.
const std::vector<Translation>& translations() {
    static const std::vector<Translation> table = [] {
        const std::vector<std::pair<const char*, const char*>> pairs = {
            // The clients and the automation server.
            {"ActiveX component can't create object", "ActiveX コンポーネントはオブジェクトを作成できません。"},
            {"ActiveX component can't create object \\((.*)\\)", "ActiveX コンポーネントはオブジェクトを作成できません。(%1)"},
            {"The host shows no view", "図面ホストに表示中の図面がありません。"},
            {"Invalid procedure call or argument", "プロシージャの呼び出し、または引数が不正です。"},
            {"Object doesn't support this property or method", "オブジェクトは、このプロパティまたはメソッドをサポートしていません。"},
            {"The key was not found", "キーが見つかりません。"},
            {"Unknown object", "オブジェクトが見つかりません。"},
            {"The drawing host is not answering \\(disconnected\\)", "図面ホストが応答しません (接続が切れました)。"},
            {"Oversized message from peer", "図面ホストから大きすぎるメッセージが届きました (接続を切りました)。"},
            {"Malformed message from peer", "図面ホストから読めないメッセージが届きました (接続を切りました)。"},
            {"The drawing has been closed", "図面は閉じられています。"},
            {"The layer has been deleted", "画層は削除されています。"},
            {"The selection set has been deleted", "選択セットは削除されています。"},
            {"No active document", "アクティブな図面がありません。"},
            {"Cannot open the drawing file: (.*)", "図面ファイルを開くことができません: %1"},
            {"The drawing (.*) has no file to save to", "図面 %1 には保存先のファイルがありません。"},
            // The engine.
            {"cannot open (.*): DWG drawings are not supported yet \\(save it as DXF\\)",
             "%1 を開くことができません: DWG 図面にはまだ対応していません (DXF で保存してください)。"},
            {"cannot open (.*): not a regular file", "%1 を開くことができません: 通常のファイルではありません。"},
            {"cannot open (.*?): (.*)", "%1 を開くことができません: %2"},
            {"cannot read (.*?): (.*)", "%1 を読み込むことができません: %2"},
            {"cannot save (.*?): (.*)", "%1 を保存することができません: %2"},
            {"a layer named (.*) exists already", "画層 %1 は既に存在します。"},
            {"selection set exists: (.*)", "選択セット %1 は既に存在します。"},
            {"layer index out of range", "画層の番号が範囲外です。"},
            {"no such layer", "画層が見つかりません。"},
            {"a frozen layer cannot be made current: (.*)", "フリーズされた画層 %1 は現在画層にできません。"},
            {"a layer of an external reference cannot be renamed", "外部参照の画層は名前を変更できません。"},
            {"colour out of range: (.*)", "色番号 %1 は範囲外です。"},
            {"invalid layer name: \"(.*)\"", "画層名 \"%1\" は使用できません。"},
            {"invalid lineweight: (.*)", "線の太さ %1 は使用できません。"},
            {"layer (.*) cannot be renamed", "画層 %1 は名前を変更できません。"},
            {"layer (.*) cannot be deleted", "画層 %1 は削除できません。"},
            {"object has no extents", "オブジェクトに範囲がありません。"},
            {"block not found: (.*)", "ブロック %1 が見つかりません。"},
            {"no layout named (.*)", "レイアウト %1 が見つかりません。"},
            {"layer not found: (.*)", "画層 %1 が見つかりません。"},
            {"linetype not found: (.*)", "線種 %1 が見つかりません。"},
            {"no object with handle (.*)", "ハンドル %1 のオブジェクトはありません。"},
            {"plot style not found: (.*)", "印刷スタイル %1 が見つかりません。"},
            {"the drawing has no layers", "図面に画層がありません。"},
            {"the layer was deleted: (.*)", "画層 %1 は削除されています。"},
            {"not a block reference", "ブロック参照ではありません。"},
            {"object has no layer: (.*)", "オブジェクト (%1) には画層がありません。"},
            {"object has no text value", "オブジェクトには文字列がありません。"},
            {"object has no text: (.*)", "オブジェクト (%1) には文字列がありません。"},
            {"the drawing has no header", "図面にヘッダーがありません。"},
            {"the drawing has no layer table", "図面に画層テーブルがありません。"},
            {"the drawing uses colour-dependent plot styles", "図面は色従属印刷スタイルを使用しています。"},
            {"this drawing version has no lineweights", "この図面のバージョンには線の太さがありません。"},
            {"this drawing version has no plot setting for layers", "この図面のバージョンには画層の印刷設定がありません。"},
            {"layer cannot be merged: (.*)", "画層 %1 は統合できません。"},
            {"the current layer cannot be deleted: (.*)", "現在画層 %1 は削除できません。"},
            {"the current layer cannot be frozen: (.*)", "現在画層 %1 はフリーズできません。"},
            {"layer in use: (.*)", "画層 %1 は使用中です。"},
            {"referenced by (.*)", "%1 から参照されています。"},
        };
        std::vector<Translation> out;
        for (const auto& [english, japanese] : pairs)
            out.push_back({QRegularExpression(QStringLiteral("\\A(?:%1)\\z").arg(QString::fromUtf8(english))),
                           QString::fromUtf8(japanese)});
        return out;
    }();
    return table;
}

}  // namespace

QString japaneseErrorText(long number, const QString& description) {
    for (const Translation& t : translations()) {
        const QRegularExpressionMatch m = t.english.match(description);
        if (!m.hasMatch()) continue;
        // One pass, so a name holding "%2" stays as it is.
        if (m.lastCapturedIndex() == 2) return t.japanese.arg(m.captured(1), m.captured(2));
        if (m.lastCapturedIndex() == 1) return t.japanese.arg(m.captured(1));
        return t.japanese;
    }
    switch (number) {
    case errc::kFileError: return QStringLiteral("図面ファイルを読み書きできません: ") + description;
    case errc::kKeyNotFound: return QStringLiteral("見つかりません: ") + description;
    case errc::kInvalidInput: return QStringLiteral("値が受け付けられません: ") + description;
    case errc::kObjectInUse: return QStringLiteral("使用中のため変更できません: ") + description;
    case errc::kDuplicateKey: return QStringLiteral("同じ名前が既に存在します: ") + description;
    case errc::kNotApplicable: return QStringLiteral("この操作はできません: ") + description;
    case errc::kDisconnected: return QStringLiteral("図面ホストとの接続が切れました: ") + description;
    default: return description;
    }
}

}  // namespace host
