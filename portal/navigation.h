// Video links in the portal: caught before the browser follows them and
// taken apart into title, address and content identifier.
#pragma once
#include <string>

namespace nilo {

// A video link is a URL with the scheme "mms" (lower case).
bool IsVideoLink(const std::u16string& url);
// The text after the last "#", with every "%20" made a blank; empty when
// there is no "#" or it is the first character.
std::u16string GetTitleFromUrl(const std::u16string& url);
// The URL without its "#" title; unchanged when there is no "#" or it is the
// first character.
std::u16string GetUrlWithoutTitle(const std::u16string& url);
// The file name without extension of the URL's path (query and fragment left
// out): the text before the path's last ".", after its last "/". Empty when
// the path has no ".".
std::u16string GetContentIdFromUrl(const std::u16string& url);
// The URL with its "mms" scheme made "http"; host, path and file stay.
std::u16string ToHttpScheme(const std::u16string& url);

}  // namespace nilo
