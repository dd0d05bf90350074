// Workbooks read directly: .xlsx and .ods sheets the tests build in memory (zipped with zlib), each read as the
// same sheet saved as CSV reads, cell for cell; numbers shown in their formats as the spreadsheet shows them;
// hostile and wrong files refused with one message each; and mutated workbooks never crash the reader.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "bank_check.h"
#include "bank_generator.h"
#include "bank_import.h"
#include "number_formats.h"
#include "question_bank.h"
#include "table_reading.h"
#include "workbook_reading.h"

namespace {

struct ZipPart {
    std::string name;
    std::string bytes;
    uint16_t method = 8;
    uint16_t flags = 0;
    uint32_t declared_size = 0;  // when not 0, the size the directory claims instead of the real one
};

void Put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string Deflated(const std::string& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A zip archive as spreadsheets write them: local headers, the central directory, its end record.
std::string Zip(const std::vector<ZipPart>& parts) {
    std::string out, directory;
    for (const ZipPart& part : parts) {
        const std::string data = part.method == 8 ? Deflated(part.bytes) : part.bytes;
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(part.bytes.data()), static_cast<uInt>(part.bytes.size())));
        const uint32_t size = part.declared_size ? part.declared_size : static_cast<uint32_t>(part.bytes.size());
        const uint32_t offset = static_cast<uint32_t>(out.size());
        auto common = [&](std::string& record) {
            Put16(record, 20);
            Put16(record, part.flags);
            Put16(record, part.method);
            Put32(record, 0);  // time and date
            Put32(record, crc);
            Put32(record, static_cast<uint32_t>(data.size()));
            Put32(record, size);
            Put16(record, static_cast<uint32_t>(part.name.size()));
            Put16(record, 0);
        };
        Put32(out, 0x04034b50);
        common(out);
        out += part.name + data;
        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        common(directory);
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);
        Put32(directory, 0);
        Put32(directory, offset);
        directory += part.name;
    }
    const uint32_t directory_offset = static_cast<uint32_t>(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put32(out, 0);
    Put16(out, static_cast<uint32_t>(parts.size()));
    Put16(out, static_cast<uint32_t>(parts.size()));
    Put32(out, static_cast<uint32_t>(directory.size()));
    Put32(out, directory_offset);
    Put16(out, 0);
    return out;
}

const char XML[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char MAIN_NS[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char REL_NS[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct XlsxSheet {
    std::string name;
    std::string data;  // the <sheetData> rows
    std::string after = std::string();  // what follows sheetData: <mergeCells> and the like
};

// The parts of an .xlsx as Excel writes them, with `strings` the <si> items and `formats`/`cell_formats` the styles.
std::vector<ZipPart> XlsxParts(const std::vector<XlsxSheet>& sheets, const std::string& strings = std::string(),
                               const std::string& formats = std::string(), const std::string& cell_formats = "<xf/>") {
    std::string workbook = std::string(XML) + "<workbook xmlns=\"" + MAIN_NS + "\" xmlns:r=\"" + REL_NS +
                           "\"><workbookPr/><sheets>";
    std::string relationships = std::string(XML) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rIdS\" Type=\"" + REL_NS + "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "<Relationship Id=\"rIdT\" Type=\"" + REL_NS + "/styles\" Target=\"/xl/styles.xml\"/>";
    std::vector<ZipPart> parts;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        workbook += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        relationships += "<Relationship Id=\"rId" + n + "\" Type=\"" + REL_NS +
                         "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        parts.push_back({"xl/worksheets/sheet" + n + ".xml", std::string(XML) + "<worksheet xmlns=\"" + MAIN_NS +
                         "\"><sheetData>" + sheets[i].data + "</sheetData>" + sheets[i].after + "</worksheet>"});
    }
    parts.insert(parts.begin(), {
        {"[Content_Types].xml", std::string(XML) + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                "content-types\"/>"},
        {"_rels/.rels", std::string(XML) + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                        "relationships\"><Relationship Id=\"rId1\" Type=\"" + REL_NS + "/officeDocument\" "
                        "Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", workbook + "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", relationships + "</Relationships>"},
        {"xl/sharedStrings.xml", std::string(XML) + "<sst xmlns=\"" + MAIN_NS + "\">" + strings + "</sst>"},
        {"xl/styles.xml", std::string(XML) + "<styleSheet xmlns=\"" + MAIN_NS + "\"><numFmts>" + formats +
                          "</numFmts><cellStyleXfs><xf numFmtId=\"3\"/></cellStyleXfs><cellXfs>" + cell_formats +
                          "</cellXfs></styleSheet>"},
    });
    return parts;
}

std::string Xlsx(const std::vector<XlsxSheet>& sheets, const std::string& strings = std::string(),
                 const std::string& formats = std::string(), const std::string& cell_formats = "<xf/>") {
    return Zip(XlsxParts(sheets, strings, formats, cell_formats));
}

const char* const ODS_NS =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\"";

std::vector<ZipPart> OdsParts(const std::vector<std::pair<std::string, std::string>>& tables,
                              const std::string& manifest_extra = std::string()) {
    std::string content = std::string(XML) + "<office:document-content " + ODS_NS +
                          "><office:body><office:spreadsheet>";
    for (const auto& [name, rows] : tables) {
        content += "<table:table table:name=\"" + name + "\">" + rows + "</table:table>";
    }
    content += "</office:spreadsheet></office:body></office:document-content>";
    return {
        {"mimetype", "application/vnd.oasis.opendocument.spreadsheet", 0},
        {"META-INF/manifest.xml", std::string(XML) + "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:"
                                  "opendocument:xmlns:manifest:1.0\"><manifest:file-entry manifest:full-path="
                                  "\"content.xml\">" + manifest_extra + "</manifest:file-entry></manifest:manifest>"},
        {"content.xml", content},
    };
}

std::string Ods(const std::vector<std::pair<std::string, std::string>>& tables) { return Zip(OdsParts(tables)); }

// An .ods cell holding one paragraph of text.
std::string OdsCell(const std::string& text) {
    return "<table:table-cell office:value-type=\"string\"><text:p>" + text + "</text:p></table:table-cell>";
}

void ExpectSameRows(const Table& read, const Table& expected) {
    ASSERT_EQ(read.rows.size(), expected.rows.size());
    for (size_t r = 0; r < read.rows.size(); ++r) {
        EXPECT_EQ(read.rows[r].row, expected.rows[r].row) << "row " << r;
        EXPECT_EQ(read.rows[r].cells, expected.rows[r].cells) << "row " << read.rows[r].row;
    }
}

TEST(WorkbookReading, EverySheetReadsAsItsOwnCsvSave) {
    // Shared strings: plain, rich runs, phonetic readings of Japanese, and spaces kept.
    const std::string strings =
        "<si><t>question</t></si><si><t>A</t></si><si><t>B</t></si><si><t>answer</t></si>"
        "<si><r><rPr><b/></rPr><t>Bold</t></r><r><t xml:space=\"preserve\"> and plain</t></r></si>"
        "<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>カンジ</t></rPh><phoneticPr fontId=\"1\"/></si>"
        "<si><t xml:space=\"preserve\">  two\nlines &amp; &lt;tags&gt; </t></si>";
    // Styles: 0 General, 1-5 built-in, 6-13 custom formats.
    const std::string formats =
        "<numFmt numFmtId=\"164\" formatCode=\"000\"/><numFmt numFmtId=\"165\" formatCode=\"yyyy/m/d;@\"/>"
        "<numFmt numFmtId=\"166\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
        "<numFmt numFmtId=\"167\" formatCode=\"h:mm\"/><numFmt numFmtId=\"168\" formatCode=\"[Red]#,##0.00\"/>";
    const std::string cell_formats =
        "<xf/><xf numFmtId=\"2\"/><xf numFmtId=\"3\"/><xf numFmtId=\"9\"/><xf numFmtId=\"11\"/><xf numFmtId=\"49\"/>"
        "<xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf numFmtId=\"166\"/><xf numFmtId=\"167\"/><xf numFmtId=\"21\"/>"
        "<xf numFmtId=\"168\"/>";
    const std::string typed =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>"
        "<c r=\"D1\" t=\"s\"><v>3</v></c></row>"
        // Row 2 blank but styled; row 3 with rich text, phonetic text, a boolean and an error value.
        "<row r=\"2\"><c r=\"A2\" s=\"1\"/></row>"
        "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>4</v></c><c r=\"B3\" t=\"s\"><v>5</v></c><c r=\"C3\" t=\"b\"><v>1</v></c>"
        "<c r=\"D3\" t=\"e\"><f>NA()</f><v>#N/A</v></c></row>"
        // Formulas with saved results, an inline string with runs, a cell after a gap without its reference.
        "<row r=\"4\"><c r=\"A4\" t=\"str\"><f>A1&amp;\"!\"</f><v>question!</v></c><c r=\"B4\"><f>1+1</f><v>2</v></c>"
        "<c r=\"D4\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r></is></c><c t=\"b\"><v>0</v></c></row>"
        "<row r=\"6\"><c r=\"A6\" t=\"s\"><v>6</v></c></row>";
    const std::string numbers =
        "<row r=\"1\"><c r=\"A1\"><v>0.30000000000000004</v></c><c r=\"B1\"><v>123456789012</v></c>"
        "<c r=\"C1\"><v>1E-10</v></c><c r=\"D1\"><v>0.33333333333333331</v></c><c r=\"E1\"><v>-42</v></c></row>"
        "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>2.675</v></c><c r=\"B2\" s=\"2\"><v>1234567.5</v></c>"
        "<c r=\"C2\" s=\"3\"><v>0.125</v></c><c r=\"D2\" s=\"4\"><v>12345</v></c><c r=\"E2\" s=\"5\"><v>7</v></c></row>"
        "<row r=\"3\"><c r=\"A3\" s=\"6\"><v>7</v></c><c r=\"B3\" s=\"7\"><v>45000</v></c>"
        "<c r=\"C3\" s=\"8\"><v>45000</v></c>"
        "<c r=\"D3\" s=\"9\"><v>0.5625</v></c><c r=\"E3\" s=\"10\"><v>0.999988425925926</v></c></row>"
        "<row r=\"4\"><c r=\"A4\" s=\"11\"><v>-1234.5</v></c></row>";
    const std::string merged =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>6</v></c><c r=\"C1\" t=\"s\"><v>1</v></c>"
        "</row><row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c><c r=\"B2\" t=\"s\"><v>2</v></c></row>";
    const std::string ods_rows =
        "<table:table-column table:number-columns-repeated=\"1024\"/>"
        "<table:table-row>" + OdsCell("question") + OdsCell("A") +
        "<table:table-cell><text:p>first</text:p><text:p>sec<text:s text:c=\"3\"/>ond<text:tab/>x<text:line-break/>"
        "<text:span>y</text:span> <text:a xlink:href=\"https://example.com\">link</text:a></text:p></table:table-cell>"
        "<table:table-cell><office:annotation><text:p>a comment</text:p></office:annotation><text:p>shown</text:p>"
        "</table:table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell table:number-columns-repeated=\"4\"/>"
        "</table:table-row>"
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell table:number-columns-repeated=\"2\" "
        "office:value-type=\"float\" office:value=\"1\"><text:p>1.00</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-spanned=\"2\">" "<text:p>merged</text:p></table:table-cell>"
        "<table:covered-table-cell><text:p>hidden by the merge</text:p></table:covered-table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"1048569\"><table:table-cell table:number-columns-repeated="
        "\"1024\"/></table:table-row>";
    // Japanese texts long enough that the XML reader takes the part in several blocks: a character of three bytes
    // falls across the end of a block somewhere among them (a trial's 150-question workbook had three so cut).
    std::string long_rows, long_csv;
    for (int i = 0; i < 300; ++i) {
        const std::string text = std::to_string(i) + "：情報セキュリティの三要素はどれか。";
        long_rows += "<table:table-row>" + OdsCell(text) + "</table:table-row>";
        long_csv += text + "\n";
    }
    const struct {
        const char* what;
        std::string bytes;
        std::string sheet;
        std::string csv;  // the same sheet saved by the spreadsheet as CSV UTF-8
        std::string phrase;
    } cases[] = {
        {"xlsx: shared, rich, phonetic and inline strings, booleans, errors, formulas' saved results", 
         Xlsx({{"Questions", typed}, {"Other", ""}}, strings),
         "", "question,A,B,answer,\n,,,,\nBold and plain,漢字,TRUE,#N/A,\nquestion!,2,,inline,FALSE\n,,,,\n"
             "\"  two\nlines & <tags> \",,,,\n",
         "sheet \"Questions\" (1 of 2) of the .xlsx workbook"},
        {"xlsx: numbers in General, built-in and custom formats, picked by number", 
         Xlsx({{"Empty", ""}, {"数値", numbers}}, "", formats, cell_formats),
         "2", "0.3,1.23457E+11,1E-10,0.333333333,-42\n2.68,\"1,234,568\",13%,1.23E+04,7\n"
              "007,2023/3/15,2023年3月15日,13:30,23:59:59\n\"-1,234.50\",,,,\n",
         "sheet \"数値\" (2 of 2) of the .xlsx workbook"},
        {"xlsx: a merged range shows its first cell's value only, chosen by name in any case",
         Xlsx({{"Sheet1", ""}, {"Merged", merged, "<mergeCells count=\"1\"><mergeCell ref=\"B1:C2\"/></mergeCells>"}},
              strings),
         "merged", "question,\"  two\nlines & <tags> \",\nA,,\n", "sheet \"Merged\" (2 of 2) of the .xlsx workbook"},
        {"ods: paragraphs, spaces, tabs, breaks, spans, links; comments left out; repeated cells and rows; merged "
         "cells; a million trailing empty rows",
         Ods({{"Questions", ods_rows}}), "",
         "question,A,\"first\nsec   ond\tx\ny link\",shown\n,,,\n,,,\n1.00,1.00,merged,\n1.00,1.00,merged,\n",
         "sheet \"Questions\" (1 of 1) of the .ods workbook"},
        {"xlsx: a line break and a tab written as character references, as LibreOffice Calc saves them",
         Xlsx({{"Questions", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"}},
              "<si><t>Line one&#10;Line two&#9;end</t></si>"),
         "", "\"Line one\nLine two\tend\"\n", "sheet \"Questions\" (1 of 1) of the .xlsx workbook"},
        {"ods: Japanese texts over many blocks of the XML reader, no character cut between two blocks",
         Ods({{"Questions", long_rows}}), "", long_csv, "sheet \"Questions\" (1 of 1) of the .ods workbook"},
        {"ods: the second sheet by number", Ods({{"A", "<table:table-row>" + OdsCell("x") + "</table:table-row>"},
                                                {"B", "<table:table-row>" + OdsCell("y") + OdsCell("z") +
                                                      "</table:table-row>"}}),
         "2", "y,z\n", "sheet \"B\" (2 of 2) of the .ods workbook"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(LooksLikeWorkbook(c.bytes));
        const Table read = ReadWorkbook(c.bytes, c.sheet);
        for (const TableProblem& p : read.problems) ADD_FAILURE() << p.row << ":" << p.column << ": " << p.text;
        EXPECT_TRUE(read.workbook);
        EXPECT_EQ(read.separator, 0);
        EXPECT_EQ(read.encoding, c.phrase);
        ExpectSameRows(read, ReadTable(c.csv));
    }
}

// What the spreadsheet shows for a number in a format, or a refusal where it cannot be shown exactly.
TEST(WorkbookReading, NumbersShowAsTheSpreadsheetShowsThem) {
    const struct {
        double value;
        std::string code;
        const char* shown;  // nullptr: refused
    } cases[] = {
        {0, "General", "0"},
        {1234567.125, "General", "1234567.125"},
        {12345678901, "General", "12345678901"},
        {0.0001234567, "General", "0.000123457"},
        {1.5e20, "General", "1.5E+20"},
        {-0.5, "General", "-0.5"},
        {3.14159, "0", "3"},
        {-2.5, "0", "-3"},
        {0.005, "0.00", "0.01"},
        {1.005, "0.00", "1.01"},  // 1.00499999999999989... in binary: rounded on its decimal digits
        {999.999, "#,##0.00", "1,000.00"},
        {1234567, "#,##0", "1,234,567"},
        {0.5, "0%", "50%"},
        {0.12345, "0.00%", "12.35%"},
        {0.000123, "0.00E+00", "1.23E-04"},
        {12345, "##0.0E+0", "12.3E+3"},
        {42, "00000", "00042"},
        {1500000, "#,##0,\"K\"", "1,500K"},
        {-3, "0;(0)", "(3)"},
        {0, "0;-0;\"zero\"", "zero"},
        {1.5, "#.##", "1.5"},
        {12, "G/標準\"問\"", "12問"},
        {-3, "General;\"minus \"General", "minus 3"},
        {1234, "#,##0_ ;[Red]\\-#,##0\\ ", "1,234 "},
        {-1234, "#,##0_ ;[Red]\\-#,##0\\ ", "-1,234 "},
        {2, "#.##", "2."},
        {12.5, "\\$#,##0.00_)", "$12.50 "},
        {1234.5, "[$€-407]#,##0.00", "€1,234.50"},
        {45000, "yyyy/m/d", "2023/3/15"},
        {45000, "yyyy/mm/dd;@", "2023/03/15"},
        {45000, "yyyy\"年\"m\"月\"d\"日\"", "2023年3月15日"},
        {45000, "[$-411]yyyy年m月d日", "2023年3月15日"},
        {45000, "d-mmm-yy", "15-Mar-23"},
        {45000, "dddd, mmmm d, yyyy", "Wednesday, March 15, 2023"},
        {45000.75, "m/d/yyyy h:mm", "3/15/2023 18:00"},
        {0.5625, "h:mm AM/PM", "1:30 PM"},
        {0.0000115740740740741, "h:mm:ss", "0:00:01"},
        {1.25, "[h]:mm:ss", "30:00:00"},
        {0.000694444, "mm:ss.0", "01:00.0"},
        {60, "yyyy-mm-dd", "1900-02-29"},
        {61, "yyyy-mm-dd", "1900-03-01"},
        {1, "yyyy-mm-dd", "1900-01-01"},
        {0.5, "# ?/?", nullptr},
        {1234567, "[<=999]000;000-0000", nullptr},
        {45000, "[$-411]ge.m.d", nullptr},
        {45000, "[$-F800]dddd, mmmm dd, yyyy", nullptr},
        {45000, "[$-411]mmmm", nullptr},
        {1, "0.0?", nullptr},
        {1, "*-0", nullptr},
        {1234567, "000-0000", nullptr},
        {-1, "yyyy/m/d", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code + " of " + std::to_string(c.value));
        const ShownNumber shown = ShowNumber(c.value, c.code);
        EXPECT_EQ(shown.refused, c.shown == nullptr);
        if (c.shown) {
            EXPECT_EQ(shown.text, c.shown);
        }
    }
    // The 1904 date system counts from 2 January 1904.
    EXPECT_EQ(ShowNumber(0, "yyyy-mm-dd", true).text, "1904-01-01");
    // Id 14 is the user's short date: in Japan as yyyy/mm/dd, in the United States as m/d/yyyy; the user's own
    // (Wine's, here) is one such pattern.
    EXPECT_EQ(ShowNumber(45000, BuiltInFormatCode(14, "yyyy/mm/dd")).text, "2023/03/15");
    EXPECT_EQ(ShowNumber(45000, BuiltInFormatCode(14, "m/d/yyyy")).text, "3/15/2023");
    EXPECT_NE(ShowNumber(45000, UserShortDateFormat()).text.find("2023"), std::string::npos);
    // Currencies and Japanese eras depend on the spreadsheet's language: not built in.
    EXPECT_EQ(BuiltInFormatCode(5, "m/d/yyyy"), "");
    EXPECT_EQ(BuiltInFormatCode(27, "m/d/yyyy"), "");
}

// Cells whose shown text cannot be known are refused at their cell: the rest of the sheet still reads.
TEST(WorkbookReading, CellsThatCannotBeShownAreRefusedAtTheirCell) {
    const std::string data =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ok</t></is></c></row>"
        "<row r=\"7\"><c r=\"C7\"><f>SUM(A1:A2)</f></c><c r=\"D7\" s=\"1\"><v>0.5</v></c>"
        "<c r=\"E7\" t=\"s\"><v>99</v></c></row>";
    const Table read = ReadWorkbook(
        Xlsx({{"S", data}}, "", "<numFmt numFmtId=\"170\" formatCode=\"# ?/?\"/>", "<xf/><xf numFmtId=\"170\"/>"),
        "");
    ASSERT_EQ(read.problems.size(), 3u);
    EXPECT_EQ(read.problems[0].row, 7u);
    EXPECT_EQ(read.problems[0].column, 3u);
    EXPECT_NE(read.problems[0].text.find("no saved result"), std::string::npos);
    EXPECT_EQ(read.problems[1].column, 4u);
    EXPECT_NE(read.problems[1].text.find("# ?/?"), std::string::npos);
    EXPECT_NE(read.problems[1].text.find("make the column Text"), std::string::npos);
    EXPECT_EQ(read.problems[2].column, 5u);
    EXPECT_NE(read.problems[2].text.find("damaged"), std::string::npos);
    EXPECT_EQ(read.rows.size(), 1u);

    const Table ods = ReadWorkbook(Ods({{"S", "<table:table-row><table:table-cell/><table:table-cell "
                                              "table:formula=\"of:=[.A1]\"/></table:table-row>"}}), "");
    ASSERT_EQ(ods.problems.size(), 1u);
    EXPECT_EQ(ods.problems[0].row, 1u);
    EXPECT_EQ(ods.problems[0].column, 2u);
}

// A compound file of `sectors` 512-byte sectors after its header, with a directory entry named `name` at the
// start of its second sector.
std::string CompoundFile(const std::u16string& name) {
    std::string bytes = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504 + 1024, '\0');
    for (size_t i = 0; i < name.size(); ++i) bytes[1024 + 2 * i] = static_cast<char>(name[i]);
    bytes[1024 + 64] = static_cast<char>(2 * (name.size() + 1));
    return bytes;
}

TEST(WorkbookReading, WrongAndHostileFilesEndInOneMessage) {
    auto with = [](std::vector<ZipPart> parts, auto change) {
        change(parts);
        return Zip(parts);
    };
    const std::vector<ZipPart> xlsx = XlsxParts({{"S", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}});
    std::string zip64 = Zip(xlsx);
    zip64[zip64.size() - 12] = zip64[zip64.size() - 11] = '\xFF';  // the entry count of ZIP64
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "<x>";
    const struct {
        const char* what;
        std::string bytes;
        std::string sheet;
        std::vector<const char*> words;  // the message names what was found and what to do
    } cases[] = {
        {"an old .xls", CompoundFile(u"Workbook"), "", {".xls", "save it as .xlsx"}},
        {"a password-protected .xlsx", CompoundFile(u"EncryptionInfo"), "", {"password", "CSV UTF-8"}},
        {"a password-protected .ods",
         Zip(OdsParts({{"S", ""}}, "<manifest:encryption-data manifest:checksum-type=\"SHA1\"/>")), "",
         {"password", "CSV UTF-8"}},
        {"a Word document", Zip({{"_rels/.rels", std::string(XML) + "<Relationships xmlns=\"x\"><Relationship Id="
                                "\"r\" Type=\"" + REL_NS + "/officeDocument\" Target=\"word/document.xml\"/>"
                                "</Relationships>"}, {"word/document.xml", "<w/>"}}),
         "", {"Word document", ".xlsx"}},
        {"an OpenDocument text", Zip({{"mimetype", "application/vnd.oasis.opendocument.text", 0}}), "",
         {"not a spreadsheet", ".ods"}},
        {"a zip of other files", Zip({{"notes.txt", "hello"}}), "", {"no workbook", ".xlsx"}},
        {"a sheet named that is not there", Zip(xlsx), "Answers", {"\"Answers\"", "1 \"S\"", "--sheet"}},
        {"a sheet numbered that is not there", Ods({{"S", ""}, {"T", ""}}), "3", {"\"3\"", "2 \"T\"", "--sheet"}},
        {"an empty first sheet of two", Ods({{"Old", ""}, {"Q", "<table:table-row>" + OdsCell("x") +
                                                               "</table:table-row>"}}), "",
         {"\"Old\" (1 of 2) is empty", "2 \"Q\"", "--sheet"}},
        {"a cut archive", Zip(xlsx).substr(0, 300), "", {"damaged"}},
        {"ZIP64", zip64, "", {"ZIP64"}},
        {"an entry named twice", with(xlsx, [](auto& p) { p.push_back(p[2]); }), "", {"twice", "xl/workbook.xml"}},
        {"an encrypted entry", with(xlsx, [](auto& p) { p[2].flags = 1; }), "", {"encrypted", "password"}},
        {"an unknown compression", with(xlsx, [](auto& p) { p[2].method = 12; }), "", {"method 12"}},
        {"an entry claiming 600 MB", with(xlsx, [](auto& p) { p[2].declared_size = 600u << 20; }), "",
         {"600 MB", "512 MB"}},
        {"a bomb's ratio", with(xlsx, [](auto& p) { p[2].declared_size = 50u << 20; }), "", {"1000 times"}},
        {"a size that lies", with(xlsx, [](auto& p) { p[2].declared_size = 10; }), "", {"damaged"}},
        {"a damaged entry", [&] {
             std::string bytes = with(xlsx, [](auto& p) { p[2].method = 0; });
             bytes[bytes.find("<workbook") + 3] ^= 1;
             return bytes;
         }(), "", {"damaged"}},
        {"a missing sheet part", with(xlsx, [](auto& p) { p.pop_back(); }), "", {"xl/worksheets/sheet1.xml"}},
        {"a document type", with(xlsx, [](auto& p) { p.back().bytes.insert(p.back().bytes.find("<worksheet"),
                                 "<!DOCTYPE w [<!ENTITY a \"aaaaaaaa\">]>"); }), "", {"document type"}},
        {"XML nested too deep", with(xlsx, [&](auto& p) { p.back().bytes.insert(p.back().bytes.find("</sheetData>"),
                                     deep); }), "", {"100 levels"}},
        {"XML not well-formed", with(xlsx, [](auto& p) { p.back().bytes += "<"; }), "", {"not well-formed"}},
        {"a cell beyond the last row", Xlsx({{"S", "<row r=\"1048577\"><c r=\"A1048577\"><v>1</v></c></row>"}}), "",
         {"last row"}},
        {"a row of text repeated two million times",
         Ods({{"S", "<table:table-row table:number-rows-repeated=\"2000000\">" + OdsCell("x") + "</table:table-row>"}}),
         "", {"last row"}},
        {"ten cells of text in each of 250,000 rows",
         Ods({{"S", "<table:table-row table:number-rows-repeated=\"250000\"><table:table-cell "
                    "table:number-columns-repeated=\"10\"><text:p>x</text:p></table:table-cell></table:table-row>"}}),
         "", {"2000000 cells"}},
        {"a cell of text repeated beyond XFD",
         Ods({{"S", "<table:table-row><table:table-cell table:number-columns-repeated=\"20000\"><text:p>x</text:p>"
                    "</table:table-cell></table:table-row>"}}), "", {"XFD"}},
        {"a used part too wide", Xlsx({{"S", [] {
             std::string rows;
             for (int r = 1; r <= 200; ++r) {
                 const std::string n = std::to_string(r);
                 rows += "<row r=\"" + n + "\"><c r=\"XFD" + n + "\"><v>1</v></c></row>";
             }
             return rows;
         }()}}), "", {"column 16384", "delete"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(LooksLikeWorkbook(c.bytes));
        const Table read = ReadWorkbook(c.bytes, c.sheet);
        ASSERT_EQ(read.problems.size(), 1u);
        EXPECT_EQ(read.problems[0].row, 0u);
        EXPECT_TRUE(read.rows.empty());
        for (const char* word : c.words) {
            EXPECT_NE(read.problems[0].text.find(word), std::string::npos) << read.problems[0].text;
        }
    }
    EXPECT_FALSE(LooksLikeWorkbook("question,A,B\n"));
    EXPECT_FALSE(LooksLikeWorkbook("PK"));
}

// The importer takes a workbook as it takes a CSV, and names its cells as the spreadsheet does.
TEST(WorkbookReading, TheImporterMakesABankOfASheet) {
    static const HDC dc = NewCheckingDc();
    const std::string data =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>question</t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t>A</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>B</t></is></c>"
        "<c r=\"D1\" t=\"inlineStr\"><is><t>answer</t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>Q</t></is></c><c r=\"B2\"><v>1</v></c><c r=\"C2\"><v>2</v>"
        "</c><c r=\"D2\" t=\"inlineStr\"><is><t>B</t></is></c></row>"
        "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>R</t></is></c><c r=\"B3\"><f>1+1</f></c></row>";
    const TableImport good = ImportTableBytes(dc, Xlsx({{"S", data.substr(0, data.find("<row r=\"3\""))}}), "t.json");
    EXPECT_TRUE(good.workbook);
    EXPECT_EQ(good.errors, 0u);
    std::vector<Question> loaded;
    std::string err_msg;
    ASSERT_TRUE(ParseQuestionBank(good.bank, loaded, err_msg)) << err_msg;
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].options, (std::vector<std::wstring>{L"1", L"2"}));

    // A first sheet of instructions: nothing there is a question, and the note names the sheets to choose from.
    const TableImport instructions = ImportTableBytes(
        dc, Xlsx({{"Read me", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Answer all.</t></is></c></row>"},
                  {"S", data.substr(0, data.find("<row r=\"3\""))}}),
        "t.json");
    ASSERT_FALSE(instructions.messages.empty());
    EXPECT_EQ(instructions.messages.back().kind, MessageKind::Note);
    EXPECT_NE(instructions.messages.back().problem.text.find("--sheet (the sheets are 1 \"Read me\", 2 \"S\")"), std::string::npos)
        << instructions.messages.back().problem.text;

    const TableImport bad = ImportTableBytes(dc, Xlsx({{"S", data}}), "t.json");
    ASSERT_EQ(bad.errors, 1u);
    EXPECT_EQ(PlaceInTable(bad, bad.messages[0].problem).rfind("cell B3", 0), 0u);
}

// Mutated workbooks: half bent in their XML before zipping (for the XML reader), half in the archive's bytes (for
// the zip reader). No crash; either the sheet's rows with problems at cells only, or exactly one problem of the
// whole file and no rows. TESSAVON_FUZZ_SEED and TESSAVON_WORKBOOK_FUZZ_INPUTS change the run.
TEST(WorkbookReading, MutatedWorkbooksAreReadOrRefusedOnce) {
    const auto number = [](const char* name, uint64_t fallback) {
        const char* text = std::getenv(name);
        return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
    };
    const uint64_t seed = number("TESSAVON_FUZZ_SEED", 20261208);
    const size_t inputs = number("TESSAVON_WORKBOOK_FUZZ_INPUTS", 5000);
    const std::vector<std::vector<ZipPart>> seeds = {
        XlsxParts({{"Q", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>0.5</v></c>"
                         "<c r=\"C1\" t=\"inlineStr\"><is><t>x</t></is></c><c r=\"D1\" s=\"2\"><v>45000.5</v></c></row>"
                         "<row r=\"3\"><c r=\"B3\" t=\"b\"><v>1</v></c></row>",
                   "<mergeCells><mergeCell ref=\"B3:C4\"/></mergeCells>"}},
                  "<si><r><t>a</t></r><rPh><t>b</t></rPh></si>",
                  "<numFmt numFmtId=\"200\" formatCode=\"yyyy/m/d h:mm\"/>",
                  "<xf/><xf numFmtId=\"10\"/><xf numFmtId=\"200\"/>"),
        OdsParts({{"Q", "<table:table-row table:number-rows-repeated=\"3\">" + OdsCell("a<text:s text:c=\"2\"/>b") +
                        "<table:covered-table-cell/><table:table-cell><office:annotation><text:p>n</text:p>"
                        "</office:annotation></table:table-cell></table:table-row>"}}),
    };
    size_t read = 0, refused = 0;
    for (size_t index = 0; index < inputs; ++index) {
        SplitMix64 random{seed * 0x100000001B3ull ^ index};
        const auto mutate = [&](std::string& bytes) {
            for (size_t n = 1 + random.Below(3); n > 0; --n) {
                const size_t at = random.Below(bytes.size() + 1);
                switch (random.Below(4)) {
                    case 0: if (at < bytes.size()) bytes[at] = static_cast<char>(random.Next()); break;
                    case 1: if (at < bytes.size()) bytes[at] ^= static_cast<char>(1 << random.Below(8)); break;
                    case 2: bytes.erase(at, random.Below(8)); break;
                    default: bytes.insert(at, bytes.substr(random.Below(bytes.size() + 1), random.Below(40))); break;
                }
            }
        };
        std::vector<ZipPart> parts = seeds[index % seeds.size()];
        std::string bytes;
        if (index / seeds.size() % 2) {
            mutate(parts[random.Below(parts.size())].bytes);
            bytes = Zip(parts);
        } else {
            bytes = Zip(parts);
            mutate(bytes);
        }
        const Table table = ReadWorkbook(bytes, "");
        const bool whole = !table.problems.empty() && table.problems[0].row == 0;
        bool at_cells = true;
        for (const TableProblem& p : table.problems) at_cells = at_cells && p.row >= 1 && p.column >= 1;
        ASSERT_TRUE(whole ? table.problems.size() == 1 && table.rows.empty() : at_cells)
            << "fuzz seed " << seed << " (TESSAVON_FUZZ_SEED), input " << index;
        ++(whole ? refused : read);
    }
    std::printf("seed %llu: %zu mutated workbooks: %zu read, %zu refused\n", static_cast<unsigned long long>(seed),
                inputs, read, refused);
}

}  // namespace
