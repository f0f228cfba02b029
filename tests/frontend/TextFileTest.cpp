// Windows-1252 conversion, line splitting, safe writing and streamed reading of text files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <ostream>
#include <random>

#include "frontend/SystemError.h"
#include "frontend/TextFile.h"
#include "tests/ScratchDirectory.h"
#include "tests/StatusTestSupport.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Failed;
using test::FailedWith;
using test::ScratchDirectory;
using test::Succeeded;


TEST(TextFile, Windows1252RoundTrip) {
    std::string bytes = "Sp\xE9" "cification \x80 \x9C \xFF";
    std::string utf8 = DecodeWindows1252(bytes);
    EXPECT_EQ(utf8, "Spécification € œ ÿ");
    EXPECT_EQ(EncodeWindows1252(utf8), bytes);
    EXPECT_EQ(EncodeWindows1252("日本"), "??");
    EXPECT_EQ(DecodeUtf8("a\xC3\xA9\xFF"), (std::u32string{U'a', U'é', 0xFFFD}));
}

TEST(TextFile, SplitsLinesLikeAnEditor) {
    using L = std::vector<std::string>;
    EXPECT_EQ(SplitLines("A\r\nB\r\n"), (L{"A", "B"}));
    EXPECT_EQ(SplitLines("A\nB"), (L{"A", "B"}));
    EXPECT_EQ(SplitLines("A\r\n\r\n"), (L{"A", ""}));
    EXPECT_EQ(SplitLines("A\rB"), (L{"A", "B"}));
    EXPECT_EQ(SplitLines(""), (L{}));
}

TEST(TextFile, ReadingAMissingOrDirectoryPathGivesAMessage) {
    const TextFileResult missing = ReadTextFile("/nonexistent/file.LOT");
    EXPECT_TRUE(FailedWith(missing.status,
                           "Impossible d'ouvrir le fichier « /nonexistent/file.LOT » : fichier ou dossier introuvable."));
    EXPECT_TRUE(missing.lines.empty());
    const std::string dir = fs::temp_directory_path().string();
    EXPECT_TRUE(
        FailedWith(ReadTextFile(dir).status, "Impossible de lire le fichier « " + dir + " » : c'est un répertoire."));
    // Too large for the bound given.
    const ScratchDirectory scratch("quarvo_textfile_large");
    const std::string path = scratch.File("file.txt");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "0123456789";
    }
    EXPECT_TRUE(FailedWith(ReadTextFile(path, 9).status, "Le fichier « " + path + " » est trop volumineux."));
    EXPECT_TRUE(Succeeded(ReadTextFile(path, 10).status));
}

TEST(TextFile, AtomicWriteReplacesTheTargetAndLeavesNoTemporary) {
    const ScratchDirectory scratch("quarvo_textfile");
    const fs::path dir = scratch.path;
    std::string target = (dir / "out.txt").string();
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, "old")));
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, EncodeLinesWindows1252({"é", "b"}))));
    TextFileResult read = ReadTextFile(target);
    EXPECT_TRUE(Succeeded(read.status));
    EXPECT_EQ(read.lines, (std::vector<std::string>{"é", "b"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A failed write keeps the earlier file.
    EXPECT_TRUE(Failed(WriteFileAtomically((dir / "missing" / "x.txt").string(), "new")));
}

TEST(TextFile, StreamedAtomicWriteGoesThroughTheTemporaryFile) {
    const ScratchDirectory scratch("quarvo_textfile_stream");
    const fs::path dir = scratch.path;
    const std::string target = (dir / "out.txt").string();
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, "old")));
    // While the writing runs, the target still holds the earlier text.
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, [&](std::ostream& out) {
        EXPECT_EQ(ReadTextFile(target).lines, (std::vector<std::string>{"old"}));
        for (int i = 0; i < 3; ++i) out << "line " << i << "\r\n";
    })));
    EXPECT_EQ(ReadTextFile(target).lines, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A stream left failed by the writing is a failed write: the earlier file stays, no temporary is left.
    EXPECT_TRUE(FailedWith(WriteFileAtomically(target,
                                               [](std::ostream& out) {
                                                   out << "partial";
                                                   out.setstate(std::ios::badbit);
                                               }),
                           "Erreur d'écriture du fichier « " + target + " »."));
    EXPECT_EQ(ReadTextFile(target).lines, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    const std::string missing = (dir / "missing" / "x.txt").string();
    const Status unwritable = WriteFileAtomically(missing, [](std::ostream& out) { out << "new"; });
    EXPECT_TRUE(Failed(unwritable));
    EXPECT_EQ(unwritable.message().rfind("Impossible d'écrire le fichier « " + missing + " » : ", 0), 0u);
    EXPECT_EQ(unwritable.line(), 0);
}

TEST(TextFile, WritingThroughSymbolicLinksReplacesTheFileTheyNameAndKeepsTheLinks) {
    ScratchDirectory dir("quarvo_textfile_links");
    fs::create_directories(dir.path / "real");
    const fs::path file = dir.path / "real" / "model.STEM";
    {
        std::ofstream(file, std::ios::binary) << "old";
    }
    // A chain: a relative link to an absolute one to the file, in another directory.
    fs::create_symlink(file, dir.path / "absolute");
    fs::create_symlink("absolute", dir.path / "relative");
    for (const char* name : {"absolute", "relative"}) {
        ASSERT_TRUE(Succeeded(WriteFileAtomically((dir.path / name).string(), std::string("new ") + name)));
        EXPECT_TRUE(fs::is_symlink(dir.path / "absolute")) << name;
        EXPECT_TRUE(fs::is_symlink(dir.path / "relative")) << name;
        EXPECT_EQ(Bytes(file), std::string("new ") + name);
        // The temporary file stood beside the target and is gone.
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"absolute", "real", "relative"}));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path / "real"), fs::directory_iterator()), 1);
    }
    // A link naming a file not made yet makes it.
    fs::create_symlink("real/later.STEM", dir.path / "dangling");
    ASSERT_TRUE(Succeeded(WriteFileAtomically((dir.path / "dangling").string(), "made")));
    EXPECT_TRUE(fs::is_symlink(dir.path / "dangling"));
    EXPECT_EQ(Bytes(dir.path / "real" / "later.STEM"), "made");
    // A loop of links is refused, in French.
    fs::create_symlink("loop2", dir.path / "loop1");
    fs::create_symlink("loop1", dir.path / "loop2");
    const std::string loop = (dir.path / "loop1").string();
    EXPECT_TRUE(FailedWith(WriteFileAtomically(loop, "x"),
                           "Impossible d'écrire le fichier « " + loop + " » : trop de liens symboliques."));
}

TEST(TextFile, AReplacedFileKeepsItsPermissions) {
    ScratchDirectory dir("quarvo_textfile_modes");
    for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                                 fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read}) {
        const fs::path file = dir.path / "private.txt";
        {
            std::ofstream(file, std::ios::binary) << "old";
        }
        fs::permissions(file, mode);
        ASSERT_TRUE(Succeeded(WriteFileAtomically(file.string(), "new")));
        EXPECT_EQ(fs::status(file).permissions(), mode);
        EXPECT_EQ(Bytes(file), "new");
        // Through a link too, the link keeping its own.
        fs::create_symlink("private.txt", dir.path / "link");
        ASSERT_TRUE(Succeeded(WriteFileAtomically((dir.path / "link").string(), "newer")));
        EXPECT_EQ(fs::status(file).permissions(), mode);
        EXPECT_EQ(Bytes(file), "newer");
        fs::remove(dir.path / "link");
        fs::remove(file);
    }
}

TEST(TextFile, SystemErrorsAreGivenInFrench) {
    EXPECT_EQ(SystemErrorReason(ENOENT), "fichier ou dossier introuvable");
    EXPECT_EQ(SystemErrorReason(EACCES), "permission refusée");
    EXPECT_EQ(SystemErrorReason(EPERM), "permission refusée");
    EXPECT_EQ(SystemErrorReason(ENOSPC), "disque plein");
    EXPECT_EQ(SystemErrorReason(EROFS), "système de fichiers en lecture seule");
    EXPECT_EQ(SystemErrorReason(EISDIR), "c'est un dossier");
    EXPECT_EQ(SystemErrorReason(ENAMETOOLONG), "nom trop long");
    EXPECT_EQ(SystemErrorReason(ELOOP), "trop de liens symboliques");
    EXPECT_EQ(SystemErrorReason(EDQUOT), "quota de disque dépassé");
    EXPECT_EQ(SystemErrorReason(std::make_error_code(std::errc::no_space_on_device)), "disque plein");
    // A closed output, and a value without its own wording: in French too, by its number.
    EXPECT_EQ(SystemErrorReason(EBADF), "descripteur de fichier invalide (sortie fermée ?)");
    EXPECT_EQ(SystemErrorReason(EDOM), "erreur système n° " + std::to_string(EDOM));
}

// Writes as a full disk does: no room is left for any byte.
std::ptrdiff_t WriteUntilFull(int fd, const void* data, std::size_t size) {
    static_cast<void>(fd);
    static_cast<void>(data);
    static_cast<void>(size);
    errno = ENOSPC;
    return -1;
}

TEST(TextFile, AFailedWriteSaysWhyInFrenchAndKeepsTheEarlierFile) {
    ScratchDirectory dir("quarvo_textfile_reasons");
    const fs::path target = dir.path / "model.STEM";
    ASSERT_TRUE(Succeeded(WriteFileAtomically(target.string(), "earlier")));
    FileOperations full;
    full.write = &WriteUntilFull;
    const Status status = WriteFileAtomically(
        target.string(), [](std::ostream& out) { out << std::string(200000, 'x'); }, full);
    EXPECT_TRUE(FailedWith(status, "Erreur d'écriture du fichier « " + target.string() + " » : disque plein."));
    EXPECT_EQ(Bytes(target), "earlier");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"model.STEM"}));

    // A directory where the file should be, and a missing directory.
    fs::create_directories(dir.path / "folder");
    const std::string folder = (dir.path / "folder").string();
    EXPECT_TRUE(FailedWith(WriteFileAtomically(folder, "x"),
                           "Impossible de remplacer le fichier « " + folder + " » : c'est un dossier."));
    const std::string missing = (dir.path / "missing" / "x.txt").string();
    EXPECT_TRUE(FailedWith(WriteFileAtomically(missing, "x"),
                           "Impossible d'écrire le fichier « " + missing + " » : fichier ou dossier introuvable."));
    // A directory one may not write in (root may write anywhere: then the write succeeds).
    fs::create_directories(dir.path / "locked");
    fs::permissions(dir.path / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string locked = (dir.path / "locked" / "x.txt").string();
    const Status refused = WriteFileAtomically(locked, "x");
    if (::geteuid() != 0) {
        EXPECT_TRUE(FailedWith(refused, "Impossible d'écrire le fichier « " + locked + " » : permission refusée."));
    }
    fs::permissions(dir.path / "locked", fs::perms::owner_all);
}

// The lines of a file read as a stream in chunks of chunk bytes.
std::vector<std::string> StreamedLines(const std::string& path, std::size_t chunk) {
    FileLineStream stream(path, chunk);
    std::vector<std::string> lines;
    std::string_view line;
    while (stream.Next(line)) lines.emplace_back(line);
    EXPECT_TRUE(Succeeded(stream.status()));
    return lines;
}

TEST(TextFile, StreamedLinesAreTheEditorsLinesWhateverTheChunks) {
    const ScratchDirectory scratch("quarvo_textfile_lines");
    const std::string path = scratch.File("file.txt");
    auto write = [&path](const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    };
    // Line ends of every kind, at every place relative to the chunks: a CR
    // that ends a chunk, a CR LF split between two, lines longer than a chunk.
    const std::vector<std::string> texts{"",          "\r\n",        "\n",         "\r",      "A",
                                         "A\r\nB\r\n", "A\nB",        "A\r\n\r\n", "A\rB",    "A\r\rB\r\n",
                                         "\r\r\n\n", "AB\r\nCD\nEF\r", "ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nab"};
    for (const std::string& text : texts)
        for (std::size_t chunk : {std::size_t{2}, std::size_t{3}, std::size_t{4}, std::size_t{7}, FileLineStream::DefaultChunk}) {
            write(text);
            EXPECT_EQ(StreamedLines(path, chunk), SplitLines(text)) << "chunk " << chunk;
        }
    // Random texts over a few letters and line ends.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 60);
        for (int i = 0; i < length; ++i) text += "ab\r\n"[random() % 4];
        write(text);
        const std::size_t chunk = 2 + random() % 9;
        EXPECT_EQ(StreamedLines(path, chunk), SplitLines(text)) << "round " << round << ", chunk " << chunk;
    }
}

TEST(TextFile, StreamingAMissingOrDirectoryPathGivesReadingsMessages) {
    FileLineStream missing("/nonexistent/file.STEM");
    std::string_view line;
    EXPECT_FALSE(missing.Next(line));
    EXPECT_TRUE(FailedWith(missing.status(), ReadTextFile("/nonexistent/file.STEM").status.message()));
    const std::string dir = fs::temp_directory_path().string();
    FileLineStream directory(dir);
    EXPECT_FALSE(directory.Next(line));
    EXPECT_TRUE(FailedWith(directory.status(), ReadTextFile(dir).status.message()));
}

TEST(TextFile, TheHeadOfAFileIsItsFirstLinesDecoded) {
    const ScratchDirectory scratch("quarvo_textfile_head");
    const std::string path = scratch.File("file.txt");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "\xE9t\xE9\r\nB\r\nC\r\n";
    }
    bool more = false;
    TextFileResult head = ReadTextFileHead(path, 2, more);
    EXPECT_EQ(head.lines, (std::vector<std::string>{"été", "B"}));
    EXPECT_TRUE(more);
    head = ReadTextFileHead(path, 3, more);
    EXPECT_EQ(head.lines, (std::vector<std::string>{"été", "B", "C"}));
    EXPECT_FALSE(more) << "a final line end opens no further line";
    head = ReadTextFileHead("/nonexistent/file.STEM", 3, more);
    EXPECT_TRUE(head.lines.empty());
    EXPECT_TRUE(FailedWith(head.status, ReadTextFile("/nonexistent/file.STEM").status.message()));
}

}  // namespace
}  // namespace quarvo
