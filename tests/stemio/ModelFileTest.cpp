// Loading a model of any kind: the kind by extension, a specification
// compiled and generated, its STEM and .aut files read back, and the failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "StemTestSupport.h"
#include "generation/StemWriter.h"
#include "stemio/ModelFile.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;

const std::string Source = QUARVO_SOURCE_DIR;

TEST(ModelFile, TheKindComesFromTheExtensionInAnyCase) {
    const std::vector<std::pair<std::string, ModelKind>> known = {
        {"a/PHILO.LOT", ModelKind::Specification}, {"philo.lot", ModelKind::Specification},
        {"x.STEM", ModelKind::ClassicStem},        {"x.stem", ModelKind::ClassicStem},
        {"dir.d/x.aut", ModelKind::Aut},           {"X.AUT", ModelKind::Aut},
    };
    for (const auto& [path, expected] : known) {
        ModelKind kind = ModelKind::Specification;
        EXPECT_TRUE(test::Succeeded(ModelKindOf(path, kind))) << path;
        EXPECT_EQ(kind, expected) << path;
    }
    for (const std::string path : {"model.txt", "model", ".aut", "LOT", "model.LOT.bak"}) {
        ModelKind kind = ModelKind::Specification;
        EXPECT_TRUE(test::FailedWith(ModelKindOf(path, kind), "Fichier « " + path +
                                                                   " » : extension inconnue (attendu .LOT, .lotos, .STEM ou .aut)."))
            << path;
        const LoadedModel model = LoadModel(path, Semantics::Interleaving, Source);
        EXPECT_EQ(model.status.message(), "Fichier « " + path + " » : extension inconnue (attendu .LOT, .lotos, .STEM ou .aut).");
    }
}

struct ModelFiles : ::testing::Test {
    const fs::path dir = fs::temp_directory_path() / ("quarvo_model_file_" + std::to_string(getpid()));
    ModelFiles() { fs::create_directories(dir); }
    ~ModelFiles() override { fs::remove_all(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
};

TEST_F(ModelFiles, ASpecificationItsStemFileAndItsAutFileGiveTheSameSystem) {
    for (Semantics semantics : {Semantics::Interleaving, Semantics::Maximality}) {
        const LoadedModel spec = LoadModel(Source + "/examples/PROTOCOL.LOT", semantics, Source);
        ASSERT_TRUE(test::Succeeded(spec.status));
        EXPECT_FALSE(spec.stopped);
        EXPECT_TRUE(spec.messages.empty());
        ASSERT_GT(spec.stem.StateCount(), 1u);
        ASSERT_TRUE(test::Succeeded(WriteClassicStem(Path("p.STEM"), spec.stem, spec.stem.StemStateCount)));
        ASSERT_TRUE(test::Succeeded(WriteAut(Path("p.aut"), spec.stem)));

        const LoadedModel stem = LoadModel(Path("p.STEM"), semantics, Source);
        ASSERT_TRUE(test::Succeeded(stem.status));
        EXPECT_EQ(stem.stem.StateCount(), spec.stem.StateCount());
        EXPECT_EQ(stem.stem.ArcCount(), spec.stem.ArcCount());

        const LoadedModel aut = LoadModel(Path("p.aut"), semantics, Source);
        ASSERT_TRUE(test::Succeeded(aut.status));
        EXPECT_EQ(aut.stem.StateCount(), spec.stem.StateCount());
        EXPECT_EQ(aut.stem.ArcCount(), spec.stem.ArcCount());
        // Hidden actions are read back as the internal action.
        std::ostringstream again;
        WriteAut(again, aut.stem);
        std::ostringstream original;
        WriteAut(original, spec.stem);
        EXPECT_EQ(again.str(), original.str());
    }
}

TEST_F(ModelFiles, FailuresNameTheFile) {
    // A specification with errors: the compiler's lines and the failure.
    test::WriteBytes(Path("bad.LOT"), "SYSTEM S [A] := B; NIL ENDSYS\r\n");
    const LoadedModel bad = LoadModel(Path("bad.LOT"), Semantics::Interleaving, Source);
    EXPECT_TRUE(test::FailedWith(bad.status, "La spécification « " + Path("bad.LOT") + " » contient des erreurs."));
    ASSERT_FALSE(bad.messages.empty());
    EXPECT_EQ(bad.messages.front(), "Compilation...");
    EXPECT_TRUE(bad.stem.Empty());

    // A STEM file with an error on its second line.
    test::WriteBytes(Path("bad.STEM"), "BEGIN 2;\r\n{}0<{}A:1>{1:A};\r\nEND");
    const LoadedModel stem = LoadModel(Path("bad.STEM"), Semantics::Interleaving, Source);
    EXPECT_TRUE(
        test::FailedWith(stem.status, "Erreur dans le fichier STEM « " + Path("bad.STEM") + " » ligne 2.", 2));

    test::WriteBytes(Path("bad.aut"), "des (0, 1, 2)\n(0, A, 2)\n");
    const LoadedModel aut = LoadModel(Path("bad.aut"), Semantics::Interleaving, Source);
    EXPECT_TRUE(test::FailedWith(aut.status,
                                 "Erreur dans le fichier .aut « " + Path("bad.aut") +
                                     " » ligne 2 : état 2 hors bornes (l'en-tête annonce 2 états, numérotés de 0 à 1).",
                                 2));

    for (const std::string name : {"missing.LOT", "missing.STEM", "missing.aut"}) {
        const LoadedModel missing = LoadModel(Path(name), Semantics::Interleaving, Source);
        EXPECT_TRUE(test::Failed(missing.status)) << name;
        EXPECT_NE(missing.status.message().find(Path(name)), std::string::npos) << missing.status.message();
    }
}

TEST_F(ModelFiles, AGenerationStoppedByTheCallerIsSaidStopped) {
    struct Stop : Progress {
        bool StopRequested() override { return true; }
    } stop;
    const LoadedModel model = LoadModel(Source + "/tests/data/ENDLESS.LOT", Semantics::Maximality, Source, &stop);
    EXPECT_TRUE(test::Succeeded(model.status));
    EXPECT_TRUE(model.stopped);
    EXPECT_TRUE(model.stem.Empty());
}

}  // namespace
}  // namespace quarvo
