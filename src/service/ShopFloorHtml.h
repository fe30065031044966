#pragma once

#include <string>

namespace feedrail {

// The service's web pages, whole: style and script inside, nothing loaded
// from elsewhere. They fill themselves from the JSON they poll, putting
// every text in as text.
std::string ShopFloorPage();
// One machine's page; it takes the machine's name from its own address.
std::string MachinePage();

} // namespace feedrail
