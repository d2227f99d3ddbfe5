// The converters of office documents, e-books and compressed files, run in
// this process on documents made on the spot: the text of each format by
// units, and the hostile ones (damaged, encrypted, bombs, deep XML) ending
// with their code.
#include "wdoc/office_text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "office_maker.h"
#include "test_util.h"
#include "wdoc/decompress.h"
#include "wdoc/unit_text.h"
#include "wpdf/wpdf.h"

namespace veskara::wdoc {
namespace {

using testing::MakeZip;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::ZipEntry;

struct Converted {
  int code = -1;
  std::string text;  // CR LF turned into "|", a unit's mark into "#"
};

std::string Shown(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes.compare(i, 3, "\f\r\n") == 0) {
      out += "#";
      i += 2;
    } else if (bytes.compare(i, 2, "\r\n") == 0) {
      out += "|";
      ++i;
    } else {
      out += bytes[i];
    }
  }
  return out;
}

// Converts the document in `bytes` as `kind`, from a file, and (for a
// plain one) from memory too: both must agree.
Converted Convert(const std::string& kind, const std::string& bytes, unsigned long long limit = 0) {
  TempDir dir;
  WriteFile(dir / "doc", bytes);
  Converted result;
  for (bool in_memory : {false, true}) {
    const int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    UnitText out(fd, limit);
    DocumentSource source{dir / "doc"};
    if (in_memory) {
      source.data = reinterpret_cast<const unsigned char*>(bytes.data());
      source.size = bytes.size();
    }
    const int code = ConvertOfficeDocument(kind, source, out);
    close(fd);
    const std::string text = Shown(ReadFile(dir / "out"));
    if (in_memory) {
      EXPECT_EQ(code, result.code) << "from memory";
      EXPECT_EQ(text, result.text) << "from memory";
    } else {
      result = {code, text};
    }
  }
  return result;
}

std::string WRun(const std::string& text) { return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>"; }
std::string Para(const std::string& runs) { return "<w:p>" + runs + "</w:p>"; }
std::string A(const std::string& text) { return "<a:p><a:r><a:t>" + text + "</a:t></a:r></a:p>"; }

struct FormatCase {
  const char* name;
  const char* kind;
  std::vector<ZipEntry> entries;
  std::string text;
  int code = kWpdfOk;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, GivesTheTextByUnits) {
  const Converted got = Convert(GetParam().kind, MakeZip(GetParam().entries));
  EXPECT_EQ(got.code, GetParam().code);
  EXPECT_EQ(got.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatTest,
    ::testing::Values(
        // A word over two formatting runs stays one word; a tab and a break
        // are blanks; the header follows the body; an empty paragraph is no
        // unit.
        FormatCase{"DocxRunsJoin", "docx",
                   testing::Docx(Para(WRun("Gar") + "<w:r><w:rPr><w:b/></w:rPr><w:t>den</w:t></w:r>" + WRun(" plan")) +
                                     Para("") +
                                     Para(WRun("Привет") + "<w:r><w:tab/></w:r>" + WRun("мир") + "<w:r><w:br/></w:r>" +
                                          WRun("снова")) +
                                     Para("<w:r><w:delText>gone</w:delText><w:instrText>PAGE</w:instrText></w:r>"),
                                 Para(WRun("Header line"))),
                   "#Garden plan|#Привет мир снова|#Header line|"},
        FormatCase{"XlsxSharedAndInlineStrings", "xlsx",
                   testing::Xlsx(
                       {"<t>Rose</t>", "<r><t>Tom</t></r><r><t>ato</t></r><rPh><t>phonetic</t></rPh>", "<t>Огурец</t>"},
                       {"<row><c t=\"s\"><v>0</v></c><c><v>42</v></c><c t=\"s\"><v>1</v></c></row>"
                        "<row><c t=\"str\"><f>A1&amp;B1</f><v>formula</v></c><c t=\"inlineStr\"><is><t>Inline "
                        "words</t></is></c></row>",
                        "<row><c t=\"s\"><v>2</v></c><c t=\"s\"><v>99</v></c></row>"}),
                   "#Rose Tomato |Inline words |#Огурец |"},
        FormatCase{
            "PptxSlidesAndNotes", "pptx",
            testing::Pptx({{A("First slide") + A("Второй абзац"), A("Speaker notes")}, {"", ""}, {A("Third"), ""}}),
            "#First slide|Второй абзац|Speaker notes|##Third|"},
        FormatCase{"OdtParagraphsSpacesAndHeaders", "odt",
                   testing::Odf("<office:text><text:h>Title</text:h><text:p>one<text:s text:c=\"3\"/>two<text:tab/>"
                                "three<text:line-break/>four <text:span>sp</text:span>an</text:p><text:p/>"
                                "<text:p>Сад<office:annotation><dc:creator "
                                "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">Ann</dc:creator><text:p>note</text:p>"
                                "</office:annotation></text:p></office:text>",
                                "<style:master-page><style:header><text:p>Page header</text:p></style:header>"
                                "</style:master-page>"),
                   "#Title|#one two three four span|#Сад|#note|#Page header|"},
        FormatCase{"OdsSheets", "ods",
                   testing::Odf("<office:spreadsheet><table:table><table:table-row><table:table-cell><text:p>Cell "
                                "one</text:p></table:table-cell><table:table-cell><text:p>two</text:p>"
                                "</table:table-cell></table:table-row></table:table><table:table><table:table-row>"
                                "<table:table-cell><text:p>Лист два</text:p></table:table-cell></table:table-row>"
                                "</table:table></office:spreadsheet>"),
                   "#Cell one|two|#Лист два|"},
        FormatCase{"OdpPagesAndNotes", "odp",
                   testing::Odf("<office:presentation><draw:page><draw:frame><draw:text-box><text:p>Slide "
                                "one</text:p></draw:text-box></draw:frame><presentation:notes><draw:frame>"
                                "<draw:text-box><text:p>Notes</text:p></draw:text-box></draw:frame>"
                                "</presentation:notes></draw:page><draw:page/></office:presentation>"),
                   "#Slide one|Notes|#"},
        // The spine's order, not the manifest's; the head, scripts and
        // styles hold no text; an entity of XHTML's is a blank.
        FormatCase{"EpubSpineOrder", "epub",
                   testing::Epub({"<h1>Chapter one</h1><p>First&nbsp;words <b>bo</b>ld</p>",
                                  "<p>Глава два</p><script>var hidden = 1;</script><div>Block<br/>text</div>"},
                                 {1, 0}),
                   "#Глава два|#Block text|#Chapter one|#First words bold|"},
        FormatCase{"DocxWithoutItsDocument", "docx", {{"_rels/.rels", testing::Rels({})}}, "", kWpdfNotPdf},
        FormatCase{
            "XlsxWithAMissingSheet", "xlsx",
            [] {
              std::vector<ZipEntry> e = testing::Xlsx({"<t>Kept</t>"}, {"<row><c t=\"s\"><v>0</v></c></row>", ""});
              std::erase_if(e, [](const ZipEntry& x) { return x.name == "xl/worksheets/sheet2.xml"; });
              return e;
            }(),
            "#Kept |#", kWpdfSomePagesLost},
        FormatCase{"MalformedPart", "docx", testing::Docx(Para(WRun("Kept")) + "<w:p>"), "#Kept|",
                   kWpdfSomePagesLost}));

TEST(HostileDocuments, EndWithTheirCode) {
  // A bomb: an entry that inflates to more than a thousand times its size,
  // well-formed XML all the way (blanks in an element), so that only its
  // size stops it.
  const std::string blanks = "<document>" + std::string(32 << 20, ' ') + "</document>";
  const std::string bomb = MakeZip({{"word/document.xml", blanks}, {"_rels/.rels", testing::Rels({})}});
  ASSERT_GT(blanks.size() / bomb.size(), 1000u) << "not a bomb: the test's premise";
  std::string deep = "<w:document " + std::string(testing::kWordNs) + ">";
  for (int i = 0; i < 600; ++i) deep += "<w:p>";
  const std::string docx = MakeZip(testing::Docx(Para(WRun("words"))));
  const struct {
    const char* name;
    const char* kind;
    std::string bytes;
    int code;
  } cases[] = {
      {"a bomb", "docx", bomb, kWpdfTooLarge},
      {"deep XML", "docx", MakeZip({{"word/document.xml", deep}}), kWpdfTooDeep},
      {"an encrypted entry", "docx", MakeZip({{"word/document.xml", "<w:document/>", "secret"}}), kWpdfLocked},
      {"an encrypted OpenDocument", "odt", MakeZip(testing::Odf("<text:p>x</text:p>", "", true)), kWpdfLocked},
      {"an encrypted Office Open XML document", "docx",
       std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(500, '\0') +
           std::string("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32),
       kWpdfLocked},
      {"a damaged archive", "docx", docx.substr(0, docx.size() / 2), kWpdfNotPdf},
      {"a PDF named .docx", "docx", "%PDF-1.4\n%\xE2\xE3\n1 0 obj<<>>endobj\n", kWpdfNotPdf},
      {"an empty file", "epub", "", kWpdfNotPdf},
  };
  for (const auto& c : cases) EXPECT_EQ(Convert(c.kind, c.bytes).code, c.code) << c.name;
}

TEST(HostileDocuments, TextStopsAtTheOutputLimit) {
  std::string body;
  for (int i = 0; i < 100; ++i) body += Para(WRun("paragraph number " + std::to_string(i)));
  const Converted got = Convert("docx", MakeZip(testing::Docx(body)), 1000);
  EXPECT_EQ(got.code, kWpdfTextCut);
  EXPECT_EQ(got.text.size(), 1000u - std::count(got.text.begin(), got.text.end(), '|') -
                                 2 * std::count(got.text.begin(), got.text.end(), '#'));
}

struct Inflated {
  DecompressStatus status;
  std::string data;
};

Inflated Inflate(int compression, const std::string& bytes) {
  TempDir dir;
  WriteFile(dir / "doc", bytes);
  const int fd = open((dir / "doc").c_str(), O_RDONLY | O_CLOEXEC);
  Inflated result;
  result.status = Decompress(fd, compression, &result.data);
  close(fd);
  return result;
}

TEST(Decompress, ReadsEachFormatAndStopsAtBombsAndDamage) {
  const std::string text = "Compressed garden notes\nСад\n";
  const std::string gz = testing::Gzip(text);
  const std::string zeros(8 << 20, '\0');
  const struct {
    const char* name;
    int compression;
    std::string bytes;
    DecompressStatus status;
    std::string data;
  } cases[] = {
      {"gzip", kWpdfGzip, gz, DecompressStatus::kOk, text},
      {"two gzip members", kWpdfGzip, gz + testing::Gzip("more"), DecompressStatus::kOk, text + "more"},
      {"gzip and the zeros of a tape", kWpdfGzip, gz + std::string(512, '\0'), DecompressStatus::kOk, text},
      {"bzip2", kWpdfBzip2, testing::Bzip2(text), DecompressStatus::kOk, text},
      {"xz", kWpdfXz, testing::Xz(text), DecompressStatus::kOk, text},
      {"gzip cut short", kWpdfGzip, gz.substr(0, gz.size() - 12), DecompressStatus::kDamaged, ""},
      {"not gzip", kWpdfGzip, text, DecompressStatus::kDamaged, ""},
      {"not xz", kWpdfXz, text, DecompressStatus::kDamaged, ""},
      {"a gzip bomb", kWpdfGzip, testing::Gzip(zeros), DecompressStatus::kTooLarge, ""},
      {"an xz bomb", kWpdfXz, testing::Xz(zeros), DecompressStatus::kTooLarge, ""},
  };
  for (const auto& c : cases) {
    const Inflated got = Inflate(c.compression, c.bytes);
    EXPECT_EQ(got.status, c.status) << c.name;
    if (c.status == DecompressStatus::kOk) {
      EXPECT_EQ(got.data, c.data) << c.name;
    }
  }
}

}  // namespace
}  // namespace veskara::wdoc
