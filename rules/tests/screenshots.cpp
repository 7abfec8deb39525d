// Shows both rule dialogs with a preview of a small sample drawing served by
// the in-memory host and saves a picture of each: rules_screenshots FOLDER
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>

#include "host/HostConnection.h"
#include "host/tests/FakeDrawingHost.h"
#include "rules/frmGet2Item.h"
#include "rules/frmLayerNameRule.h"
#include "rules/frmLayerStateRule.h"

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

void save(QWidget* dialog, const QString& file) {
    dialog->show();
    dialog->activateWindow();
    settle();
    dialog->grab().save(file);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    auto state = std::make_shared<fakehost::HostState>();
    const QString path = QStringLiteral("/projects/tower/平面図.dxf");
    auto& d = state->file(path);
    struct Sample {
        const char* name;
        int color;
        int lineweight;
        bool on;
    };
    for (const Sample& s : {Sample{"WALL-1F", 1, 50, true}, Sample{"WALL-2F", 1, 50, true},
                            Sample{"DOOR-1F", 3, 25, true}, Sample{"DOOR-2F", 3, 25, false},
                            Sample{"寸法-1F", 2, 18, true}, Sample{"TEXT", 7, -3, true},
                            Sample{"XREF|GRID", 8, -3, true}}) {
        auto& layer = d.layer(QString::fromUtf8(s.name));
        layer.color = s.color;
        layer.lineweight = s.lineweight;
        layer.on = s.on;
    }
    state->openByUser(path);
    host::setHostProvider(std::make_shared<fakehost::FakeProvider>(state));

    {
        rules::frmLayerNameRule dialog;
        dialog.TxtNameBefore->setText(QStringLiteral("-1F$"));
        dialog.TxtNameAfter->setText(QStringLiteral("_1階"));
        save(&dialog, folder + QStringLiteral("/rule-name-dialog.png"));
    }
    {
        rules::frmLayerStateRule dialog;
        dialog.TxtLayerName->setText(QStringLiteral("DOOR-.*"));
        dialog.CboLayerOn->setCurrentIndex(1);
        dialog.CboColor->setCurrentIndex(4);
        dialog.CboLineweight->setCurrentIndex(dialog.CboLineweight->findText(QStringLiteral("0.35 mm")));
        save(&dialog, folder + QStringLiteral("/rule-state-dialog.png"));
    }
    {
        rules::frmGet2Item dialog;
        dialog.setWindowTitle(QStringLiteral("検索ｷｰﾜｰﾄﾞの編集"));
        dialog.Label1->setText(QStringLiteral("検索ｷｰﾜｰﾄﾞ"));
        dialog.Label2->setText(QStringLiteral("置換文字"));
        dialog.Text1->setText(QStringLiteral("<LAYER>"));
        dialog.Text2->setText(QStringLiteral("壁-1F"));
        save(&dialog, folder + QStringLiteral("/two-field-dialog.png"));
    }
    host::setHostProvider(nullptr);
    return 0;
}
