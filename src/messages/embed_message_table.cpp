// Build tool: checks the message table file (messages.tsv) and writes the
// source file that compiles it into the program.
//
//   kestrix_embed_message_table <messages.tsv> <generated .cpp>
//
// A malformed table stops the build with "<file>:<line>: error: <fault>". The
// generated file holds the table text unchanged, as one raw string literal
// returned by messageTableText(); the program reads it once at first use with
// the same reader that checked it here.

#include "messages/message_table_text.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

constexpr std::string_view kRawDelimiter = "kestrix_messages";

bool readWholeFile(const char* path, std::string& content) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::string generatedSource(std::string_view table) {
    std::ostringstream source;
    source << "// Generated from messages.tsv by kestrix_embed_message_table. Do not edit.\n"
              "#include \"messages/message_table_text.h\"\n\n"
              "namespace kestrix {\n\n"
              "std::string_view messageTableText() {\n"
              "    static constexpr std::string_view text = R\""
           << kRawDelimiter << "(" << table << ")" << kRawDelimiter
           << "\";\n"
              "    return text;\n"
              "}\n\n"
              "} // namespace kestrix\n";
    return source.str();
}

} // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount != 3) {
        std::fprintf(stderr, "usage: kestrix_embed_message_table <messages.tsv> <generated .cpp>\n");
        return 2;
    }
    const char* tablePath = arguments[1];
    const char* outputPath = arguments[2];

    std::string table;
    if (!readWholeFile(tablePath, table)) {
        std::fprintf(stderr, "%s: error: cannot read the message table\n", tablePath);
        return 1;
    }
    const kestrix::MessageTableReading reading =
        kestrix::readMessageTable(table, static_cast<std::size_t>(kestrix::kMessageCount));
    if (!reading.ok()) {
        std::fprintf(stderr, "%s:%zu: error: %s\n", tablePath, reading.faultLine, reading.fault.c_str());
        return 1;
    }
    if (table.find(")" + std::string(kRawDelimiter) + "\"") != std::string::npos) {
        std::fprintf(stderr, "%s: error: the table contains the raw string delimiter )%s\"\n", tablePath,
                     std::string(kRawDelimiter).c_str());
        return 1;
    }

    const std::string source = generatedSource(table);
    std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
    output << source;
    output.close();
    if (!output) {
        std::fprintf(stderr, "%s: error: cannot write the generated message table source\n", outputPath);
        std::remove(outputPath);
        return 1;
    }
    return 0;
}
