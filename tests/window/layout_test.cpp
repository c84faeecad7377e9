// The live window against the layout table: names, kinds, texts, places, sizes, tab order.

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "window/file_list_box.h"
#include "window/layout.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

const char* QtClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
      return "QPushButton";
    case ControlKind::Label:
      return "QLabel";
    case ControlKind::FileListBox:
      return "tunelift::FileListBox";
  }
  return "";
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    fixture_ = std::make_unique<WindowFixture>();
    QVERIFY(fixture_->LoadAndShow());
  }
  void cleanup() { fixture_.reset(); }

  void windowIsNamedCaptionedAndFixedAt410By300() {
    MainWindow& window = fixture_->window();
    QCOMPARE(window.objectName(), QStringLiteral("Tunelift"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tunelift"));
    QCOMPARE(window.size(), QSize(410, 300));
    QCOMPARE(window.minimumSize(), window.maximumSize());
  }

  void everyControlStandsAsTheTableSays_data() {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < kControls.size(); ++i) {
      QTest::newRow(kControls[i].name.data()) << int(i);
    }
  }
  void everyControlStandsAsTheTableSays() {
    QFETCH(int, row);
    const ControlSpec& control = kControls[std::size_t(row)];
    auto* widget = fixture_->Control<QWidget>(control.name);
    QVERIFY(widget != nullptr);
    QVERIFY(widget->inherits(QtClassOf(control.kind)));
    QCOMPARE(widget->geometry(), QRect(control.left / 15, control.top / 15, control.width / 15,
                                       control.height / 15));
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      QCOMPARE(button->text(), Q(control.text));
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
    }
    if (auto* label = qobject_cast<QLabel*>(widget); label && control.name != "Label4") {
      QCOMPARE(label->text(), Q(control.text));
      QVERIFY(label->wordWrap());
    }
  }

  // Written out here on their own, so a slip in the table's spacing shows.
  void longTextsKeepTheirExactSpacing() {
    const QString finish = QString(11, u' ') + "Finish!" + QString(8, u' ') +
                           "(and delete temp files)";
    QCOMPARE(fixture_->Control<QPushButton>("Finish")->text(), finish);
    QCOMPARE(fixture_->Control<QLabel>("Label3")->text(),
             "Press \"Browse for .MP3 files\" to select and copy the music you want to send." +
                 QString(4, u' ') +
                 "You can send more than one song, but you can only select one song at a time.");
    QCOMPARE(fixture_->Control<QLabel>("Label2")->text(),
             QStringLiteral("After you have selected the files you want, press Send The Music, "
                            "and it you should be hearing it soon!"));
  }

  void label4LiesBeyondTheClientArea() {
    const QRect label4 = fixture_->Control<QLabel>("Label4")->geometry();
    QVERIFY(!fixture_->window().rect().intersects(label4));
    QCOMPARE(label4.left(), 448);
  }

  void tabMovesInTabIndexOrder() {
    MainWindow& window = fixture_->window();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    fixture_->Control<QWidget>("Browse")->setFocus();
    const QStringList expected{"Send", "File1", "Delete", "Finish", "cmdDelete", "Browse"};
    for (const QString& next : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget()->objectName(), next);
    }
  }

  // Were any button the default, Enter on Finish would delete the folder and close the window.
  void enterAndEscapePressNoButton() {
    MainWindow& window = fixture_->window();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (const char* name : {"Browse", "Finish", "Delete", "cmdDelete", "Send"}) {
      fixture_->Control<QWidget>(name)->setFocus();
      for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(QApplication::focusWidget(), key);
      }
    }
    QVERIFY(window.isVisible());
    QVERIFY(fixture_->dialogs().openCalls().empty());
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QVERIFY(fs::exists(fixture_->StagingFolder()));
    QVERIFY(fs::exists(fixture_->UploadScript()));
  }

private:
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::LayoutTest)
#include "layout_test.moc"
