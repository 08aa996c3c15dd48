#pragma once

#include <QString>

class GlobalTools
{
public:
    // A new GUID as 38 characters: "{", 32 upper-case hex digits grouped
    // 8-4-4-4-12 with hyphens, "}".
    static QString GenerateGUID();
};
