#include "standin/call_log.h"

std::string CallLog::Text() const
{
    std::string text;
    for (const std::string& call : calls_)
        text += call + "\n";
    return text;
}
