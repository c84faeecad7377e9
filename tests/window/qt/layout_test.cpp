// The live window as it was drawn: names, kinds, texts, places, sizes, tab order.

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "window_fixture.h"

namespace tunelift::testing {

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

  // The icon drawn for Tunelift, at the sizes a title bar and a launcher ask for, not Qt's
  // empty default.
  void windowCarriesTheProgramsIconAtEverySizeItIsShown() {
    const QIcon icon = fixture_->window().windowIcon();
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 256}) {
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QStringLiteral("%1 px").arg(size)));
      const QImage drawn = icon.pixmap(size, size).toImage();
      QCOMPARE(drawn.size(), QSize(size, size));
      // The middle of the note-and-arrow square is drawn, not transparent.
      QCOMPARE(qAlpha(drawn.pixel(size / 2, size / 2)), 255);
    }
  }

  // Places and sizes in pixels, written out here rather than read from the table, so that a
  // slip in the table itself shows.
  void everyControlStandsWhereItWasDrawn_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("qtClass");
    QTest::addColumn<QRect>("geometry");
    const auto row = [](const char* name, const char* qtClass, QRect geometry) {
      QTest::newRow(name) << QString(name) << QString(qtClass) << geometry;
    };
    row("cmdDelete", "tunelift::WrappingButton", {216, 176, 97, 25});
    row("Finish", "tunelift::WrappingButton", {80, 256, 113, 33});
    row("Delete", "tunelift::WrappingButton", {104, 176, 89, 25});
    row("File1", "tunelift::FileListBox", {16, 96, 377, 71});
    row("Send", "tunelift::WrappingButton", {216, 256, 113, 33});
    row("Browse", "tunelift::WrappingButton", {136, 40, 153, 33});
    row("Label4", "QLabel", {448, 56, 113, 73});
    row("Label3", "QLabel", {16, 8, 377, 33});
    row("Label2", "QLabel", {16, 216, 377, 33});
    row("Label1", "QLabel", {16, 80, 129, 17});
  }
  void everyControlStandsWhereItWasDrawn() {
    QFETCH(QString, name);
    QFETCH(QString, qtClass);
    QFETCH(QRect, geometry);
    auto* widget = fixture_->Control<QWidget>(name.toStdString());
    QVERIFY(widget != nullptr);
    QVERIFY(widget->inherits(qtClass.toLatin1().constData()));
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY2(!widget->testAttribute(Qt::WA_SetFont), "only the application sets the font");
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      QVERIFY(label->wordWrap());
    }
  }

  void shortTextsAreAsWritten_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("cmdDelete") << "cmdDelete"
                               << "Delete Selected";
    QTest::newRow("Delete") << "Delete"
                            << "Delete All";
    QTest::newRow("Send") << "Send"
                          << "Send the Music!";
    QTest::newRow("Browse") << "Browse"
                            << "Browse for .MP3 files";
    QTest::newRow("Label1") << "Label1"
                            << "You selected these files:";
  }
  void shortTextsAreAsWritten() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    auto* widget = fixture_->Control<QWidget>(name.toStdString());
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->property("text").toString(), text);
  }

  // Written out here on their own, so a slip in the table's spacing shows.
  void longTextsKeepTheirExactSpacing() {
    const QString finish =
        QString(11, u' ') + "Finish!" + QString(8, u' ') + "(and delete temp files)";
    QCOMPARE(fixture_->Control<QPushButton>("Finish")->text(), finish);
    QCOMPARE(fixture_->Control<QLabel>("Label3")->text(),
             "Press \"Browse for .MP3 files\" to select and copy the music you want to send." +
                 QString(4, u' ') +
                 "You can send more than one song, but you can only select one song at a time.");
    QCOMPARE(fixture_->Control<QLabel>("Label2")->text(),
             QStringLiteral("After you have selected the files you want, press Send The Music, "
                            "and it you should be hearing it soon!"));
  }

  void folderLabelLiesBeyondTheClientArea() {
    const QRect folderLabel = fixture_->Control<QLabel>("Label4")->geometry();
    QVERIFY(!fixture_->window().rect().intersects(folderLabel));
    QCOMPARE(folderLabel.left(), 448);
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
