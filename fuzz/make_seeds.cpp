// Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/:
// small tables with every kind of tag, with and without memos, the dBase IV
// fixture, and real key and FOR expressions. Run it again after a change to
// the input formats: make_seeds <repository>.
#include "MemoryFile.h"

#include "dbase/Table.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using K = dbase::FieldSpec::Kind;

std::string root;

void save(const std::string& target, const std::string& name, const std::string& bytes)
{
    std::ofstream(root + "/fuzz/corpus/" + target + "/" + name, std::ios::binary) << bytes;
}

std::string load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string littleEndian(std::uint32_t n, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(char(n >> (8 * i)));
    return out;
}

// The input of fuzz_dbf for a table with a memo file and an index.
std::string framed(const std::string& dbf, const std::string& dbt, const std::string& mdx)
{
    return "DBF+" + littleEndian(std::uint32_t(dbf.size()), 4) + littleEndian(std::uint32_t(dbt.size()), 4) +
           dbf + dbt + mdx;
}

struct Files {
    std::string dbf, mdx;
};

// A table of `count` books with the given tags; every fifth record deleted.
Files books(int count, const std::vector<std::vector<std::string>>& tags)
{
    MemoryFileSystem fs;
    dbase::Table::create("/s/T.DBF",
                         {{"TITLE", K::Character, 12},
                          {"YEARPUB", K::Whole, 0},
                          {"COST", K::Floating, 0},
                          {"BOUGHT", K::Date, 0},
                          {"READ", K::Logical, 0},
                          {"NOTES", K::Character, 10}},
                         fs);
    {
        auto table = dbase::Table::open("/s/T.DBF", dbase::Access::Exclusive, fs);
        for (const auto& t : tags)
            table->addTag(t[0], t[1], t[2], t[3] == "D", t[4] == "U");
        for (int i = 1; i <= count; ++i) {
            table->append();
            table->setText(0, std::string(1, char('A' + i * 7 % 26)) + "book " + std::to_string(i));
            table->setWhole(1, 1900 + i * 13 % 120);
            table->setFloating(2, i * 1.25 - 10);
            table->setDate(3, {1990 + i % 30, 1 + i % 12, 1 + i % 28});
            table->setText(4, i % 3 ? "T" : "F");
            table->setText(5, i <= 3 ? std::to_string(i) : "");
            table->post();
            if (i % 5 == 0)
                table->deleteRecord();
        }
    }
    return {fs.bytes("/s/T.DBF"), fs.bytes("/s/T.MDX")};
}

// Turns the last field (NOTES, C 10) into a memo field and sets the version byte.
std::string withMemoField(std::string dbf, unsigned char version)
{
    dbf[0] = char(version);
    const std::size_t headerLength = std::uint8_t(dbf[8]) | std::uint8_t(dbf[9]) << 8;
    const std::size_t fields = (headerLength - 33) / 32;
    dbf[32 + 32 * (fields - 1) + 11] = 'M';
    return dbf;
}

// Memo files holding texts 1..n in blocks 1..n.
std::string dbase4Memo(const std::vector<std::string>& texts, std::uint32_t blockSize)
{
    std::string file =
        littleEndian(std::uint32_t(texts.size() + 1), 4) + std::string(16, '\0') + littleEndian(blockSize, 2);
    file.resize(blockSize, '\0');
    for (const std::string& text : texts) {
        std::string block = "\xFF\xFF\x08\x00" + littleEndian(std::uint32_t(text.size() + 8), 4) + text;
        block.resize((block.size() + blockSize - 1) / blockSize * blockSize, '\0');
        file += block;
    }
    return file;
}

std::string dbase3Memo(const std::vector<std::string>& texts)
{
    std::string file = littleEndian(std::uint32_t(texts.size() + 1), 4);
    file.resize(512, '\0');
    for (const std::string& text : texts) {
        std::string block = text + "\x1A\x1A";
        block.resize((block.size() + 511) / 512 * 512, '\0');
        file += block;
    }
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <repository>\n");
        return 2;
    }
    root = argv[1];

    // One tag of each kind: character, numeric, date, descending, unique,
    // FOR, and a key built of several fields.
    const std::vector<std::vector<std::string>> everyKind = {
        {"TITLE", "UPPER(TITLE)", "", "", ""},
        {"YEAR", "YEARPUB", "", "", ""},
        {"BOUGHT", "BOUGHT", "", "", ""},
        {"COSTDOWN", "COST", "", "D", ""},
        {"ONETITLE", "LEFT(TITLE,4)", "", "", "U"},
        {"UNREAD", "TITLE", ".NOT. READ .AND. .NOT. DELETED()", "", ""},
        {"MIXED", "UPPER(TRIM(TITLE))+DTOS(BOUGHT)+STR(COST,12,2)", "", "", ""},
    };
    const Files plain = books(6, {});
    const Files small = books(12, everyKind);
    const Files deep = books(200, {{"TITLE", "TITLE", "", "", ""},
                                   {"YEAR", "YEARPUB", "", "D", ""},
                                   {"LIVE", "UPPER(TITLE)", ".NOT. DELETED()", "", ""}});
    const std::vector<std::string> texts = {"Read twice.", std::string(700, 'x') + " long", ""};
    const std::string fixtureDbf = load(root + "/tests/dbase/fixtures/dbase4/TEST.DBF");
    const std::string fixtureMdx = load(root + "/tests/dbase/fixtures/dbase4/TEST.MDX");

    save("fuzz_dbf", "plain", plain.dbf);
    save("fuzz_dbf", "every_tag_kind", framed(small.dbf, "", small.mdx));
    save("fuzz_dbf", "deep_tree", framed(deep.dbf, "", deep.mdx));
    save("fuzz_dbf", "memo_dbase4",
         framed(withMemoField(small.dbf, 0x8B), dbase4Memo(texts, 512), small.mdx));
    save("fuzz_dbf", "memo_dbase3", framed(withMemoField(plain.dbf, 0x83), dbase3Memo(texts), ""));
    // A dBase IV memo table alone: first byte 0x8B, no prefix.
    save("fuzz_dbf", "memo_table_alone", withMemoField(plain.dbf, 0x8B));
    save("fuzz_dbf", "dbase4_fixture", framed(fixtureDbf, "", fixtureMdx));

    save("fuzz_mdx", "every_tag_kind.mdx", small.mdx);
    save("fuzz_mdx", "deep_tree.mdx", deep.mdx);
    save("fuzz_mdx", "dbase4_fixture.mdx", fixtureMdx);

    save("fuzz_dbt", "dbase4_512", dbase4Memo(texts, 512));
    save("fuzz_dbt", "dbase4_64", dbase4Memo(texts, 64));
    save("fuzz_dbt", "dbase3", dbase3Memo(texts));

    // Key and FOR expressions over fuzz_expression's fields (NAME C 20,
    // COST N 12.2, RATE F 20.4, BOUGHT D, READ L, NOTES M).
    const char* expressions[] = {
        "UPPER(NAME)",
        "NAME",
        "COST",
        "-RATE",
        "BOUGHT",
        "DTOS(BOUGHT)",
        "UPPER(TRIM(NAME))+DTOS(BOUGHT)",
        "STR(COST,12,2)+UPPER(NAME)",
        "SUBSTR(NAME,2,5)+LEFT(NAME,3)+RIGHT(NAME,2)",
        "IIF(READ,'Y','N')+LOWER(NAME)",
        "DTOC(BOUGHT+30)",
        "VAL(SUBSTR(NAME,1,4))*2+COST/3",
        "LTRIM(RTRIM(ALLTRIM(NAME)))",
        ".NOT. DELETED()",
        "READ .AND. COST > 10",
        "COST >= 5 .OR. \"ZOLA\" $ UPPER(NAME)",
        "BOUGHT < CTOD(\"01/01/2000\") .AND. .NOT. READ",
        "NAME = 'Z' .OR. RATE <> 0",
        "DELETED() .OR. READ = .T.",
        ".FALSE. .OR. .TRUE.",
    };
    int n = 0;
    for (const char* e : expressions)
        save("fuzz_expression", "expression_" + std::to_string(++n), e);
    return 0;
}
