#pragma once
// Writers that cannot finish their file remove it, so that nothing that looks
// like a complete picture is left behind.

#include <string>

class FString;

// Deletes the file of the URL if it exists. Never throws: it runs while a
// writer is being destroyed or an exception is on its way out.
void RemoveUnfinishedFile(const FString& url);

// The URL as UTF-8 text for messages; an empty text when it cannot be converted.
std::string UrlMessageText(const FString& url);
