// The standard dialogs and buttons in French.
#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "app/Translations.h"

namespace {

QString Plain(QString text) { return text.remove('&'); }

}  // namespace

class TranslationsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(quarvo::InstallFrenchTranslations(*QCoreApplication::instance())); }

    void MessageBoxButtonsAreFrench() {
        QMessageBox box(QMessageBox::Question, "QUARVO", "Enregistrer les modifications ?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(Plain(box.button(QMessageBox::Yes)->text()), QString("Oui"));
        QCOMPARE(Plain(box.button(QMessageBox::No)->text()), QString("Non"));
        QCOMPARE(Plain(box.button(QMessageBox::Cancel)->text()), QString("Annuler"));
        QMessageBox ok(QMessageBox::Information, "QUARVO", "Fini.", QMessageBox::Ok);
        QCOMPARE(Plain(ok.button(QMessageBox::Ok)->text()), QString("OK"));
    }

    void FileDialogsAreFrench() {
        QFileDialog open(nullptr, QString(), QDir::tempPath());
        open.setOption(QFileDialog::DontUseNativeDialog);
        open.setAcceptMode(QFileDialog::AcceptOpen);
        auto* buttons = open.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(Plain(buttons->button(QDialogButtonBox::Open)->text()), QString("Ouvrir"));
        QCOMPARE(Plain(buttons->button(QDialogButtonBox::Cancel)->text()), QString("Annuler"));

        QFileDialog save(nullptr, QString(), QDir::tempPath());
        save.setOption(QFileDialog::DontUseNativeDialog);
        save.setAcceptMode(QFileDialog::AcceptSave);
        buttons = save.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(Plain(buttons->button(QDialogButtonBox::Save)->text()), QString("Enregistrer"));
    }

    void InputBoxesAreFrench() {
        QInputDialog input;
        input.show();
        auto* buttons = input.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(Plain(buttons->button(QDialogButtonBox::Cancel)->text()), QString("Annuler"));
        input.hide();
    }
};

QTEST_MAIN(TranslationsTest)
#include "TranslationsTest.moc"
