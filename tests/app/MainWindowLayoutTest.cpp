// The window as the operator and the rest of the program find it right after
// construction: every object by name and type, the layout tree, sizes, fonts,
// texts, initial states, and the meta-object the slots are reached through.
#include "app/MainWindow.h"
#include "tests/support/WindowTestHelpers.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include <gtest/gtest.h>

#include <map>

namespace {

QString identity(const QObject* object)
{
    return object ? QStringLiteral("%1 %2").arg(object->metaObject()->className(),
                                               object->objectName())
                  : QStringLiteral("none");
}

// One line per layout, widget and spacer, indented by containment: types,
// names, order, spacing, margins, stretch factors and grid cells.
void describeLayout(const QLayout& layout, const QString& indent, const QString& cell,
                    QStringList& lines)
{
    const QMargins margins = layout.contentsMargins();
    QString line = QStringLiteral("%1%2%3 spacing %4 margins %5,%6,%7,%8")
                       .arg(indent, cell, identity(&layout))
                       .arg(layout.spacing())
                       .arg(margins.left())
                       .arg(margins.top())
                       .arg(margins.right())
                       .arg(margins.bottom());
    if (const auto* box = qobject_cast<const QBoxLayout*>(&layout)) {
        QStringList stretches;
        bool stretched = false;
        for (int i = 0; i < box->count(); ++i) {
            stretches << QString::number(box->stretch(i));
            stretched = stretched || box->stretch(i) != 0;
        }
        if (stretched)
            line += " stretch " + stretches.join(',');
    }
    lines << line;

    const QString inner = indent + "  ";
    const auto* grid = qobject_cast<const QGridLayout*>(&layout);
    for (int i = 0; i < layout.count(); ++i) {
        QString itemCell;
        if (grid) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            itemCell = QStringLiteral("(%1,%2 %3x%4) ").arg(row).arg(column).arg(rowSpan).arg(columnSpan);
        }
        QLayoutItem* item = layout.itemAt(i);
        if (QWidget* widget = item->widget()) {
            lines << inner + itemCell + identity(widget);
            if (widget->layout())
                describeLayout(*widget->layout(), inner + "  ", QString(), lines);
        } else if (item->layout()) {
            describeLayout(*item->layout(), inner, itemCell, lines);
        } else {
            lines << inner + QStringLiteral("spacer %1x%2 expanding %3")
                                 .arg(item->sizeHint().width())
                                 .arg(item->sizeHint().height())
                                 .arg(item->expandingDirections() == Qt::Horizontal ? "h" : "v");
        }
    }
}

class MainWindowLayout : public testing::Test
{
protected:
    MainWindow window;
};

TEST_F(MainWindowLayout, BuildsTheWidgetTree)
{
    const QString expected = R"(QGridLayout gridLayout spacing 6 margins 11,11,11,11
  (0,1 1x1) QVBoxLayout verticalLayout_8 spacing 3 margins 0,0,0,0 stretch 0,5,5
    QHBoxLayout horizontalLayout_11 spacing 0 margins 0,0,0,0
    QGroupBox groupBox_3
      QVBoxLayout verticalLayout_6 spacing 6 margins 11,11,11,11
        QPlainTextEdit plainTextEditSend
    QGroupBox groupBox_4
      QVBoxLayout verticalLayout_7 spacing 6 margins 11,11,11,11
        QPlainTextEdit plainTextEditReceive
        QPushButton pushButtonClear
        QProgressBar progressBar
  (0,0 1x1) QVBoxLayout verticalLayout_5 spacing 3 margins 0,0,0,0 stretch 2
    QGroupBox groupBox_2
      QVBoxLayout verticalLayout_4 spacing 2 margins 2,2,2,15 stretch 5,0
        QGroupBox groupBox
          QVBoxLayout verticalLayout_2 spacing 0 margins 0,0,0,0
            QVBoxLayout verticalLayout spacing 6 margins 0,0,0,0
              QHBoxLayout horizontalLayout spacing 6 margins 0,0,0,0
                QLabel labelPortName
                QComboBox comboBoxPortName
              QHBoxLayout horizontalLayout_2 spacing 6 margins 0,0,0,0
                QLabel labelBaudrate
                QComboBox comboBoxBaudrate
              QHBoxLayout horizontalLayout_3 spacing 6 margins 0,0,0,0
                QLabel labelParity
                QComboBox comboBoxParity
              QHBoxLayout horizontalLayout_4 spacing 6 margins 0,0,0,0
                QLabel labelDataBit
                QComboBox comboBoxDataBit
              QHBoxLayout horizontalLayout_5 spacing 6 margins 0,0,0,0
                QLabel labelStopBit
                QComboBox comboBoxStopBit
              spacer 40x20 expanding h
              QPushButton pushButtonOpen
              spacer 20x40 expanding v
              QLabel label_FileSize
              QLabel label_TotalBlocks
              QLabel label_CurrenBlock
              QLabel label_Action
              spacer 20x40 expanding v
              QLabel label
              QPushButton pushButtonLoadFirmware
              QLabel labelFirmware_1
              QPushButton pushButtonSend
              QPushButton pushButtonReset
        QVBoxLayout verticalLayout_3 spacing 6 margins 0,0,0,0)";
    EXPECT_EQ(identity(window.centralWidget()), "QWidget centralWidget");
    QStringList tree;
    describeLayout(*window.centralWidget()->layout(), QString(), QString(), tree);
    // As std::string, so that a mismatch is shown as a line diff.
    EXPECT_EQ(tree.join('\n').toStdString(), expected.toStdString());

    EXPECT_EQ(identity(window.menuBar()), "QMenuBar menuBar");
    EXPECT_EQ(identity(window.statusBar()), "QStatusBar statusBar");
    const auto& toolBar = child<QToolBar>(window, "mainToolBar");
    EXPECT_EQ(window.toolBarArea(&toolBar), Qt::TopToolBarArea);
    EXPECT_TRUE(toolBar.actions().isEmpty());

    ASSERT_EQ(window.menuBar()->actions().size(), 1);
    const QMenu* help = window.menuBar()->actions().front()->menu();
    ASSERT_TRUE(help);
    EXPECT_EQ(identity(help), "QMenu menuHelp");
    QStringList actions;
    for (const QAction* action : help->actions()) {
        actions << identity(action);
        EXPECT_EQ(action->parent(), &window);
    }
    EXPECT_EQ(actions, (QStringList{"QAction actionAbout", "QAction actionAbout_Qt"}));
}

TEST_F(MainWindowLayout, KeepsFixedSizesAndPolicies)
{
    EXPECT_EQ(window.minimumSize(), QSize(750, 690));
    EXPECT_EQ(window.sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    EXPECT_EQ(window.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);

    window.show();
    EXPECT_EQ(window.size(), QSize(750, 690));
    EXPECT_EQ(child<QPushButton>(window, "pushButtonClear").size(), QSize(50, 30));
    EXPECT_EQ(child<QProgressBar>(window, "progressBar").height(), 20);
    for (const char* name : {"pushButtonOpen", "pushButtonLoadFirmware", "pushButtonSend"})
        EXPECT_EQ(child<QPushButton>(window, name).height(), 50) << name;
    EXPECT_GE(child<QPushButton>(window, "pushButtonReset").height(), 50);

    // Full-width rows: as wide as the group box's column.
    const int columnWidth = child<QPushButton>(window, "pushButtonOpen").width();
    EXPECT_EQ(child<QPushButton>(window, "pushButtonLoadFirmware").width(), columnWidth);
    EXPECT_EQ(child<QPushButton>(window, "pushButtonSend").width(), columnWidth);
    const auto& receive = child<QPlainTextEdit>(window, "plainTextEditReceive");
    EXPECT_EQ(child<QProgressBar>(window, "progressBar").width(), receive.width());

    // Send and Receive share the right column's height equally (to a pixel of rounding).
    EXPECT_NEAR(child<QGroupBox>(window, "groupBox_3").height(),
                child<QGroupBox>(window, "groupBox_4").height(), 1);

    for (const char* name : {"comboBoxPortName", "comboBoxBaudrate", "comboBoxParity",
                             "comboBoxDataBit", "comboBoxStopBit"})
        EXPECT_GE(child<QComboBox>(window, name).width(), 70) << name;
}

TEST_F(MainWindowLayout, ShowsItsTextsAndFonts)
{
    EXPECT_EQ(window.windowTitle(), "Orvanne Flasher 1.0 for RQ51x");
    // Labels, buttons and actions show a "text", group boxes and menus a "title".
    const std::map<const char*, QString> captions = {
        {"labelPortName", "Port:"},         {"labelBaudrate", "Baudrate:"},
        {"labelParity", "Parity:"},         {"labelDataBit", "DataBit:"},
        {"labelStopBit", "StopBit:"},       {"label_FileSize", "File size:"},
        {"label_TotalBlocks", "Total memory blocks:"},
        {"label_CurrenBlock", "Current memory block:"},
        {"label_Action", "Action:"},        {"label", "Load firmware bin file"},
        {"labelFirmware_1", "No file loaded"},
        {"pushButtonOpen", "Open Port"},    {"pushButtonLoadFirmware", "Load File"},
        {"pushButtonSend", "Flash"},        {"pushButtonReset", "Factory Reset"},
        {"pushButtonClear", "Clear"},       {"groupBox", "SerialPort Setting"},
        {"groupBox_2", ""},                 {"groupBox_3", "Send"},
        {"groupBox_4", "Receive"},          {"menuHelp", "Help"},
        {"actionAbout", "About"},           {"actionAbout_Qt", "About Qt"},
    };
    for (const auto& [name, text] : captions) {
        const auto& object = child<QObject>(window, name);
        const QVariant caption = object.property("text");
        EXPECT_EQ((caption.isValid() ? caption : object.property("title")).toString(), text)
            << name;
    }
    EXPECT_EQ(child<QAction>(window, "actionAbout").shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
    for (const char* name : {"groupBox", "groupBox_2"})
        EXPECT_EQ(child<QGroupBox>(window, name).alignment(), Qt::AlignLeft | Qt::AlignTop);

    const QFont caption = child<QLabel>(window, "label").font();
    EXPECT_EQ(caption.family(), "Arial");
    EXPECT_EQ(caption.pointSize(), 11);
    EXPECT_EQ(caption.weight(), QFont::Normal);
    const auto& path = child<QLabel>(window, "labelFirmware_1");
    EXPECT_EQ(path.font().family(), "Arial");
    EXPECT_EQ(path.font().pointSize(), 10);
    EXPECT_EQ(path.font().weight(), QFont::Bold);
    EXPECT_EQ(path.focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(path.wordWrap());
}

TEST_F(MainWindowLayout, StartsWithDefaultSettingsFlashDisabledAndEmptyPanes)
{
    const auto items = [&](const char* name) {
        const auto& box = child<QComboBox>(window, name);
        QStringList texts;
        for (int i = 0; i < box.count(); ++i)
            texts << box.itemText(i);
        return texts;
    };
    EXPECT_EQ(items("comboBoxBaudrate"),
              (QStringList{"300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                           "38400", "56000", "57600", "115200"}));
    EXPECT_EQ(items("comboBoxParity"), (QStringList{"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(items("comboBoxDataBit"), (QStringList{"5", "6", "7", "8"}));
    EXPECT_EQ(items("comboBoxStopBit"), (QStringList{"1", "1.5", "2"}));

    EXPECT_EQ(child<QComboBox>(window, "comboBoxBaudrate").currentText(), "115200");
    EXPECT_EQ(child<QComboBox>(window, "comboBoxParity").currentText(), "None");
    EXPECT_EQ(child<QComboBox>(window, "comboBoxDataBit").currentText(), "8");
    EXPECT_EQ(child<QComboBox>(window, "comboBoxStopBit").currentText(), "1");

    EXPECT_FALSE(child<QPushButton>(window, "pushButtonSend").isEnabled());
    EXPECT_FALSE(child<QPushButton>(window, "pushButtonReset").isFlat());
    EXPECT_EQ(child<QProgressBar>(window, "progressBar").value(), 0);

    for (const char* name : {"plainTextEditSend", "plainTextEditReceive"}) {
        SCOPED_TRACE(name);
        const auto& pane = child<QPlainTextEdit>(window, name);
        EXPECT_TRUE(pane.isReadOnly());
        EXPECT_TRUE(pane.toPlainText().isEmpty());
        EXPECT_FALSE(pane.acceptDrops());
        EXPECT_EQ(pane.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(pane.sizeAdjustPolicy(), QAbstractScrollArea::AdjustToContents);
        EXPECT_EQ(pane.styleSheet(), "QPlainTextEdit {background-color: darkgrey; color: white;}");
        EXPECT_FALSE(pane.backgroundVisible());
    }
}

TEST_F(MainWindowLayout, ExposesItsSignalAndSlotsInOrder)
{
    const QMetaObject& meta = *window.metaObject();
    EXPECT_STREQ(meta.className(), "MainWindow");
    QStringList signatures;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        signatures << QString::fromLatin1(meta.method(i).methodSignature());
    EXPECT_EQ(signatures,
              (QStringList{"emitUpdateReceive(QString)", "onReadEvent(const char*,uint)",
                           "OnUpdateReceive(QString)", "on_pushButtonOpen_clicked()",
                           "on_pushButtonSend_clicked()", "on_pushButtonClear_clicked()",
                           "on_pushButtonLoadFirmware_clicked()", "on_pushButtonReset_clicked()",
                           "on_actionAbout_triggered()", "on_actionAbout_Qt_triggered()"}));

    const QMetaMethod signal = meta.method(meta.methodOffset());
    EXPECT_EQ(signal.methodType(), QMetaMethod::Signal);
    EXPECT_EQ(signal.access(), QMetaMethod::Public);
    EXPECT_EQ(signal.parameterNames(), QList<QByteArray>{"str"});
    for (int i = meta.methodOffset() + 1; i < meta.methodCount(); ++i) {
        EXPECT_EQ(meta.method(i).methodType(), QMetaMethod::Slot) << i;
        EXPECT_EQ(meta.method(i).access(), QMetaMethod::Private) << i;
    }
    EXPECT_EQ(meta.method(meta.methodOffset() + 1).parameterNames(),
              (QList<QByteArray>{"portName", "readBufferLen"}));
}

TEST_F(MainWindowLayout, CastsToItsListenerPartByTheBareName)
{
    CSerialPortListener* const listener = &window;
    EXPECT_EQ(window.qt_metacast("CSerialPortListener"), static_cast<void*>(listener));
    EXPECT_NE(window.qt_metacast("CSerialPortListener"), static_cast<void*>(&window));
    EXPECT_EQ(window.qt_metacast("MainWindow"), static_cast<void*>(&window));
    EXPECT_EQ(window.qt_metacast("QWidget"), static_cast<void*>(static_cast<QWidget*>(&window)));
    EXPECT_EQ(window.qt_metacast("kavrio::CSerialPortListener"), nullptr);
    EXPECT_EQ(window.qt_metacast(nullptr), nullptr);
}

} // namespace
