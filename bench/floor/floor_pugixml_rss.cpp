// Floor for the headless export: pugixml parses an RSS file and writes it
// again, nothing else (no Qt).
#include <cstdio>
#include <pugixml.hpp>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("floor_pugixml_rss IN.xml OUT.xml\n", stderr);
        return 2;
    }
    pugi::xml_document doc;
    if (!doc.load_file(argv[1]))
        return 1;
    return doc.save_file(argv[2], "  ") ? 0 : 1;
}
