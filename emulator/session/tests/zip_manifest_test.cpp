// Manifests read from zip archives built here byte by byte: stored and deflated entries, with
// and without data descriptors, and archives that are cut short, lie or try to blow up.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "core/attribute_text.h"
#include "core/log.h"
#include "core/zip_entry.h"
#include "platform/env.h"
#include "session/jar_manifest.h"

namespace {

const char Manifest[] = "Manifest-Version: 1.0\r\nAPI-Type: Profile\r\nAPI: IMP-NG\r\nAPI-Specification-Version: 1.0\r\n";

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::string Deflate(const std::string& text) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct Entry {
    std::string name;
    std::string content;
    bool deflated = true;
    bool descriptor = false; // sizes and CRC after the data, zeros in the local header
};

// Writes a zip archive the way archivers do; the fields can be spoiled afterwards.
struct Archive {
    std::string bytes;
    std::size_t directoryOffset = 0;
    std::vector<std::size_t> directoryEntries; // offsets of each entry's central record

    explicit Archive(const std::vector<Entry>& entries, const std::string& prefix = "") {
        bytes = prefix;
        std::string directory;
        for (const Entry& e : entries) {
            const std::string data = e.deflated ? Deflate(e.content) : e.content;
            const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.content.data()),
                                       static_cast<uInt>(e.content.size()));
            const uint16_t flags = e.descriptor ? 0x0008 : 0;
            const uint16_t method = e.deflated ? 8 : 0;
            const uint32_t local = static_cast<uint32_t>(bytes.size() - prefix.size());
            Put32(bytes, 0x04034b50);
            Put16(bytes, 20);
            Put16(bytes, flags);
            Put16(bytes, method);
            Put32(bytes, 0);
            Put32(bytes, e.descriptor ? 0 : crc);
            Put32(bytes, e.descriptor ? 0 : static_cast<uint32_t>(data.size()));
            Put32(bytes, e.descriptor ? 0 : static_cast<uint32_t>(e.content.size()));
            Put16(bytes, static_cast<uint32_t>(e.name.size()));
            Put16(bytes, 4);
            bytes += e.name;
            bytes += std::string("\xFE\xCA\0\0", 4); // the JAR marker extra field
            bytes += data;
            if (e.descriptor) {
                Put32(bytes, 0x08074b50);
                Put32(bytes, crc);
                Put32(bytes, static_cast<uint32_t>(data.size()));
                Put32(bytes, static_cast<uint32_t>(e.content.size()));
            }
            directoryEntries.push_back(directory.size());
            Put32(directory, 0x02014b50);
            Put16(directory, 20);
            Put16(directory, 20);
            Put16(directory, flags);
            Put16(directory, method);
            Put32(directory, 0);
            Put32(directory, crc);
            Put32(directory, static_cast<uint32_t>(data.size()));
            Put32(directory, static_cast<uint32_t>(e.content.size()));
            Put16(directory, static_cast<uint32_t>(e.name.size()));
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, 0);
            Put32(directory, 0);
            Put32(directory, local);
            directory += e.name;
        }
        directoryOffset = bytes.size();
        for (std::size_t& at : directoryEntries) at += directoryOffset;
        bytes += directory;
        Put32(bytes, 0x06054b50);
        Put16(bytes, 0);
        Put16(bytes, 0);
        Put16(bytes, static_cast<uint32_t>(entries.size()));
        Put16(bytes, static_cast<uint32_t>(entries.size()));
        Put32(bytes, static_cast<uint32_t>(directory.size()));
        Put32(bytes, static_cast<uint32_t>(directoryOffset - prefix.size()));
        Put16(bytes, 0);
    }
    void Set32(std::size_t at, uint32_t v) {
        std::string four;
        Put32(four, v);
        bytes.replace(at, 4, four);
    }
    std::size_t EndRecord() const { return bytes.size() - 22; }
};

std::string Read(const std::string& bytes, std::string* why = nullptr) {
    zip::MemorySource source(bytes);
    std::string reason;
    auto content = zip::ReadEntry(source, "META-INF/MANIFEST.MF", MaxManifestSize, &reason);
    if (why) *why = reason;
    if (content) EXPECT_TRUE(reason.empty()) << reason;
    else EXPECT_FALSE(reason.empty());
    return content.value_or("");
}

Entry ManifestEntry(bool deflated, bool descriptor, const std::string& content = Manifest) {
    return Entry{"META-INF/MANIFEST.MF", content, deflated, descriptor};
}

} // namespace

TEST(ZipManifest, StoredAndDeflatedWithAndWithoutDescriptorsGiveTheBytesOfTheEntry) {
    for (bool deflated : {false, true}) {
        for (bool descriptor : {false, true}) {
            SCOPED_TRACE(std::string(deflated ? "deflated" : "stored") + (descriptor ? " + descriptor" : ""));
            Archive jar({{"META-INF/", "", false, false}, ManifestEntry(deflated, descriptor),
                         {"a/B.class", std::string(3000, 'x'), true, true}});
            EXPECT_EQ(Read(jar.bytes), Manifest);
        }
    }
    // An empty manifest, a stub in front of the archive and a comment behind it.
    EXPECT_EQ(Read(Archive({ManifestEntry(true, false, "")}).bytes), "");
    Archive stub({ManifestEntry(true, true)}, "#!/bin/sh\nexec java -jar \"$0\"\n");
    EXPECT_EQ(Read(stub.bytes), Manifest);
    Archive commented({ManifestEntry(false, false)});
    commented.bytes[commented.bytes.size() - 2] = 5;
    commented.bytes += "PK\x05\x06!";
    EXPECT_EQ(Read(commented.bytes), Manifest);
}

TEST(ZipManifest, OnlyTheExactNameCounts) {
    Archive jar({{"meta-inf/manifest.mf", "API: lower\n", false, false},
                 {"META-INF/MANIFEST.MF.bak", "API: longer\n", false, false},
                 ManifestEntry(true, false, "API: right\n")});
    EXPECT_EQ(Read(jar.bytes), "API: right\n");
    std::string why;
    EXPECT_EQ(Read(Archive({{"other.txt", "x", false, false}}).bytes, &why), "");
    EXPECT_EQ(why, "no such entry");
}

TEST(ZipManifest, NoZipAndTruncatedFilesGiveNothing) {
    EXPECT_EQ(Read(""), "");
    EXPECT_EQ(Read("this is not a zip archive"), "");
    EXPECT_EQ(Read(std::string("PK\x03\x04garbage\0\xff", 14)), "");
    const std::string whole = Archive({ManifestEntry(true, true), {"x.class", std::string(500, 'y'), true, false}}).bytes;
    // Every cut: the end record is gone, or it names a directory or data beyond the end.
    for (std::size_t size = 0; size < whole.size(); ++size) {
        EXPECT_EQ(Read(whole.substr(0, size)), "") << size;
    }
}

TEST(ZipManifest, LyingDirectoriesAreRefused) {
    const Archive good({ManifestEntry(true, false), {"x.class", std::string(500, 'y'), true, false}});
    const std::size_t record = good.directoryEntries[0];
    struct Lie {
        const char* what;
        std::size_t at;
        uint32_t value;
    } lies[] = {
        {"directory size beyond the file", good.EndRecord() + 12, 0x7FFFFFF0},
        {"directory offset beyond the file", good.EndRecord() + 16, 0x7FFFFFF0},
        {"directory offset inside the data", good.EndRecord() + 16, 7},
        {"directory smaller than its entries", good.EndRecord() + 12, 20},
        {"entry beyond the recorded entries", good.EndRecord() + 8, 0x00000000},
        {"compressed size beyond the file", record + 20, 0xFFFFFFF0},
        {"compressed size too small", record + 20, 10},
        {"uncompressed size too small", record + 24, 10},
        {"uncompressed size larger", record + 24, 200},
        {"huge uncompressed size", record + 24, 0xFFFFFFF0},
        {"local header offset beyond the file", record + 42, 0x7FFFFFF0},
        {"local header offset into the next entry", record + 42, 40},
        {"wrong CRC", record + 16, 0x12345678},
        {"unknown method", record + 8, 0x00630000},
        {"encrypted", record + 8, 0x00080001},
    };
    for (const Lie& lie : lies) {
        Archive spoiled = good;
        spoiled.Set32(lie.at, lie.value);
        std::string why;
        EXPECT_EQ(Read(spoiled.bytes, &why), "") << lie.what;
    }
    EXPECT_EQ(Read(good.bytes), Manifest);
}

TEST(ZipManifest, AManifestThatInflatesBeyondTheLimitIsNotExpanded) {
    // 8 MiB of blanks deflate to about 8 KiB; the directory may be honest about the size or not.
    const std::string huge(8u << 20, ' ');
    Archive honest({ManifestEntry(true, false, huge)});
    std::string why;
    EXPECT_EQ(Read(honest.bytes, &why), "");
    EXPECT_EQ(why, "entry larger than the limit");
    Archive lying = honest;
    lying.Set32(lying.directoryEntries[0] + 24, 100);
    EXPECT_EQ(Read(lying.bytes), "");
    // Exactly the limit is still read.
    Archive limit({ManifestEntry(true, false, std::string(MaxManifestSize, 'm'))});
    EXPECT_EQ(Read(limit.bytes).size(), MaxManifestSize);
}

TEST(ZipManifest, ThousandsOfEntriesAreWalkedInOnePass) {
    std::vector<Entry> entries;
    for (int i = 0; i < 5000; ++i) entries.push_back({"pkg/C" + std::to_string(i) + ".class", "", false, false});
    entries.push_back(ManifestEntry(true, true));
    EXPECT_EQ(Read(Archive(entries).bytes), Manifest);
}

TEST(ZipManifest, ReadJarManifestLogsWhyAFileGaveNothing) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zip_manifest_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "api.jar", std::ios::binary) << Archive({ManifestEntry(true, true)}).bytes;
    std::ofstream(folder / "text.jar", std::ios::binary) << "plain text that is no zip archive at all";
    auto savedTmpdir = platform::GetEnv("TMPDIR");
    platform::SetEnv("TMPDIR", folder.string());
    ForgetLogFile();
    LogEnabled = true;

    EXPECT_EQ(GetAttributeValue(ReadJarManifest((folder / "api.jar").string()), "API", ":"), "IMP-NG");
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ReadJarManifest((folder / "text.jar").string()), "");
    EXPECT_EQ(ReadJarManifest((folder / "absent.jar").string()), "");
    EXPECT_EQ(ReadJarManifest(folder.string()), ""); // a folder
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    LogEnabled = false;
    const std::string log = ReadWholeFile(CurrentLogFilePath());
    ForgetLogFile();
    if (savedTmpdir) platform::SetEnv("TMPDIR", *savedTmpdir);
    else platform::UnsetEnv("TMPDIR");
    EXPECT_NE(log.find("No manifest read from \"" + (folder / "text.jar").string() +
                       "\": no end of central directory record\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("absent.jar\": not a file\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("api.jar"), std::string::npos) << log;
    std::filesystem::remove_all(folder);
}
