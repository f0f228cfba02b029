// The generation dialog while a large generation runs: figures that move inside a level several times a second on
// two threads, its numbering included, and a memory limit that counts only the generation it stops, after a larger one.
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

#include "app/GenFrm.h"
#include "app/Sdimain.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::TestApp;

namespace {

// n cycles A; B side by side: 2^n states under interleaving, in n + 1 levels.
QString Cycles(int n) {
    QString gates, body;
    for (int i = 0; i < n; ++i) {
        gates += QString(i ? ", A%1, B%1" : "A%1, B%1").arg(i);
        body += QString(i ? "\n ||| Cycle [A%1, B%1]" : "Cycle [A%1, B%1]").arg(i);
    }
    return "SYSTEM Cycles [" + gates + "] :=\n" + body +
           "\nWHERE PROCESS Cycle [A, B] := A; B; Cycle [A, B] ENDPROC ENDSYS";
}

// Replaces the specification, compiles it and generates it under interleaving.
void Generate(TSDIAppForm& form, const QString& text) {
    auto* editor = Component<QPlainTextEdit>(form, "Editor");
    editor->selectAll();
    editor->insertPlainText(text);
    form.Compiler1Click();
    form.EntrelaceItemClick();
    form.SemEntreClick();
}

QString LastMessage(const TSDIAppForm& form) {
    const auto* list = Component<QListWidget>(form, "MemoError");
    return list->count() > 0 ? list->item(list->count() - 1)->text() : QString();
}

QStringList Messages(const TSDIAppForm& form) {
    QStringList lines;
    const auto* list = Component<QListWidget>(form, "MemoError");
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

// What the dialog showed at one moment of the generation.
struct Shown {
    qint64 ms = 0;
    qint64 states = 0;
    int level = -1;    // -1 until a level is shown
    int percent = -1;  // of that level explored
};

}  // namespace

class GenerationProgressWindowTest : public QObject {
    Q_OBJECT

private slots:
    // 2^20 states on two threads. The dialog lets the event loop run only when
    // it refreshes, so a timer of the test samples each refresh once.
    void TheFiguresMoveSeveralTimesASecondInsideTheLevelsOfAMillionStates() {
        TestApp t;
        TSDIAppForm& form = t.app->Main();
        TGenFrm* dialog = t.Windows().generation;
        dialog->Fils->setValue(2);
        std::vector<Shown> shown;
        // A level's numbering is short: a loaded machine may refresh in none,
        // so a run that showed none is made again, twice at most.
        std::size_t numbering = 0;
        for (int run = 0; run < 3 && numbering == 0; ++run) {
            shown.clear();
            QElapsedTimer clock;
            QTimer sampler;
            sampler.setInterval(5);
            const QRegularExpression levelText("^(\\d+) \\((\\d+) %\\)$");
            connect(&sampler, &QTimer::timeout, this, [&] {
                if (!dialog->Running()) return;
                Shown s;
                s.ms = clock.elapsed();
                s.states = dialog->StatNbr->text().toLongLong();
                const QRegularExpressionMatch m = levelText.match(dialog->niveau->text());
                if (m.hasMatch()) {
                    s.level = m.captured(1).toInt();
                    s.percent = m.captured(2).toInt();
                }
                if (shown.empty() || shown.back().ms != s.ms) shown.push_back(s);
            });
            clock.start();
            sampler.start();
            Generate(form, Cycles(20));
            sampler.stop();
            QCOMPARE(LastMessage(form), QString("Génération terminée."));
            QCOMPARE(t.GetSession().stem.StemStateCount, 1 << 20);
            QVERIFY2(shown.size() > 10, qPrintable(QString("%1 refreshes").arg(shown.size())));
            // The level's numbering, after its derivation on both threads, is
            // its second half.
            for (const Shown& s : shown)
                if (s.percent > 50 && s.percent < 100) ++numbering;
        }
        QVERIFY2(numbering > 0, "some refresh shows a level being numbered");

        // More than four refreshes a second on the whole: the dialog refreshes
        // every 150 to 200 ms, which leaves room for a busy machine.
        const double seconds = static_cast<double>(shown.back().ms - shown.front().ms) / 1000.0;
        const double perSecond = static_cast<double>(shown.size() - 1) / seconds;
        QVERIFY2(perSecond >= 4.0, qPrintable(QString("%1 refreshes a second over %2 s").arg(perSecond).arg(seconds)));

        // Inside a level, the explored part and the states found move from one
        // refresh to another, and the states never go back.
        std::map<int, std::vector<Shown>> inside;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (i > 0) QVERIFY(shown[i].states >= shown[i - 1].states);
            if (shown[i].percent > 0 && shown[i].percent < 100) inside[shown[i].level].push_back(shown[i]);
        }
        std::size_t movingLevels = 0;
        for (const auto& [level, samples] : inside) {
            if (samples.size() < 3) continue;
            QVERIFY(samples.back().percent > samples.front().percent);
            if (samples.back().states > samples.front().states) ++movingLevels;
        }
        QVERIFY2(movingLevels > 0, "the states counter moves inside some level");
    }

    // After a larger generation in the same program, a limit stops the next
    // one at the figure it names: the dialog's "Mémoire consommée", in Ko of
    // 1000 bytes, is the message's figure in Mo, and stays under the limit.
    void TheMemoryLimitStopsAtItsFigureAfterALargerGeneration() {
        TestApp t;
        TSDIAppForm& form = t.app->Main();
        TGenFrm* dialog = t.Windows().generation;
        dialog->Fils->setValue(2);
        Generate(form, quarvo::testing::IndependentProcesses(11));
        QCOMPARE(LastMessage(form), QString("Génération terminée."));
        QCOMPARE(t.GetSession().stem.StemStateCount, 177148);

        constexpr qint64 MiB = 1024 * 1024;
        constexpr int LimitMb = 96;
        dialog->MemoireMax->setValue(LimitMb);
        Generate(form, quarvo::testing::IndependentProcesses(12));
        const QStringList lines = Messages(form);
        QVERIFY(lines.size() >= 2);
        QVERIFY2(lines.last().startsWith("Génération interrompue : mémoire insuffisante ("), qPrintable(lines.last()));
        QVERIFY2(t.GetSession().stem.StemStateCount > 10000, "the earlier generation's memory does not count");
        const QRegularExpression named("^Mémoire consommée par la génération : (\\d+) Mo\\.$");
        const QRegularExpressionMatch m = named.match(lines[lines.size() - 2]);
        QVERIFY2(m.hasMatch(), qPrintable(lines[lines.size() - 2]));
        const qint64 namedMb = m.captured(1).toLongLong();
        QVERIFY(namedMb <= LimitMb);
        QVERIFY(dialog->memconsom->text().endsWith(" Ko"));
        const qint64 dialogKo = dialog->memconsom->text().chopped(3).toLongLong();
        // One figure in two units, each cut to a whole number.
        const qint64 dialogMb = dialogKo * 1000 / MiB;
        QVERIFY2(dialogMb == namedMb || dialogMb + 1 == namedMb, qPrintable(dialog->memconsom->text()));
        QVERIFY(dialogKo * 1000 <= LimitMb * MiB);
        QVERIFY(!t.GetSession().busy);
    }
};

QTEST_MAIN(GenerationProgressWindowTest)
#include "GenerationProgressWindowTest.moc"
