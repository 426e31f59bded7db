#include "export/export_index.h"

#include <cstdio>
#include <ctime>

#include "export/export_names.h"
#include "export/whole_file.h"
#include "platform/local_time.h"
#include "platform/hex_text.h"

namespace dunmere {
namespace fs = std::filesystem;

void CategoryTally::Add(std::uint8_t deletedValue, const std::string& date) {
  if (deletedValue == 0) {
    ++live;
  } else {
    ++deleted;
    fromLog += deletedValue == kDeletedInLog ? 1 : 0;
  }
  if (date.empty()) return;
  if (first.empty() || date < first) first = date;
  if (last.empty() || date > last) last = date;
}

namespace {

// A text as a JavaScript string literal: quotes, backslashes, line ends and "</" written out, so that
// no text ends the script or the string.
std::string ScriptString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '<': out += "\\u003c"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// A relative link, percent-encoded where a URL needs it.
std::string Link(const fs::path& root, const fs::path& file) {
  return PercentEncoded(file.lexically_relative(root).generic_string());
}

std::string Range(const CategoryTally& t) {
  if (t.first.empty()) return "";
  return t.first == t.last ? HtmlEscape(IsoDate(t.first)) : HtmlEscape(IsoDate(t.first)) + " – " + HtmlEscape(IsoDate(t.last));
}

std::string Counts(const CategoryTally& t) {
  return "<td>" + std::to_string(t.live) + "</td><td>" + std::to_string(t.deleted) + "</td><td>" +
         std::to_string(t.fromLog) + "</td><td>" + Range(t) + "</td>";
}

std::string NowWithOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  char zone[64];
  std::strftime(zone, sizeof zone, "%Z", &local);
  return IsoDate(buf) + " (" + zone + ")";
}

constexpr const char* kStyle =
    "body{font-family:system-ui,sans-serif;margin:24px;color:#222}table{border-collapse:collapse;margin:8px 0 20px}"
    "td,th{border:1px solid #ccc;padding:4px 8px;text-align:left;vertical-align:top}th{background:#f2f2f2}"
    "#q{font-size:16px;padding:6px;width:24em}.del{color:#b00}.hit{margin:6px 0}.meta td:first-child{font-weight:bold}";

// Finds the words typed in every message (case and accents aside) and lists the hits with a link to
// their conversation; at most 500 are shown.
constexpr const char* kSearchScript = R"(
function fold(s){return s.normalize('NFD').replace(/[\u0300-\u036f]/g,'').toLowerCase();}
var folded=null;
function search(){
  var q=fold(document.getElementById('q').value.trim()),out=document.getElementById('hits');
  out.textContent='';
  if(q.length<2){document.getElementById('found').textContent='';return;}
  if(folded===null)folded=MESSAGES.map(function(m){return fold(m[3]+' '+m[2]);});
  var words=q.split(/\s+/),n=0;
  for(var i=0;i<MESSAGES.length;i++){
    var t=folded[i],ok=true;
    for(var w=0;w<words.length&&ok;w++)ok=t.indexOf(words[w])>=0;
    if(!ok)continue;
    if(++n>500)continue;
    var m=MESSAGES[i],c=CONVERSATIONS[m[0]],d=document.createElement('div'),a=document.createElement('a');
    d.className='hit'+(m[4]?' del':'');
    a.href=c[1];a.textContent=c[0];
    d.appendChild(a);
    d.appendChild(document.createTextNode(' · '+m[1]+' · '+m[2]+(m[4]?' (deleted)':'')+': '+m[3]));
    out.appendChild(d);
  }
  document.getElementById('found').textContent=n+' found'+(n>500?', the first 500 shown':'');
}
)";

}  // namespace

Status WriteExportIndex(const fs::path& root, const std::string& stamp, const ExportFacts& facts,
                        const std::map<std::string, CategoryTally>& categories,
                        const std::vector<IndexedConversation>& conversations,
                        const std::vector<IndexedMessage>& messages) {
  const std::string scriptName = "search-" + stamp + ".js";
  std::string script = "var CONVERSATIONS=[";
  for (std::size_t i = 0; i < conversations.size(); ++i) {
    script += (i != 0 ? ",\n[" : "\n[") + ScriptString(conversations[i].title) + "," +
              ScriptString(Link(root, conversations[i].page)) + "]";
  }
  script += "];\nvar MESSAGES=[";
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const IndexedMessage& m = messages[i];
    script += (i != 0 ? ",\n[" : "\n[") + std::to_string(m.conversation) + "," + ScriptString(m.date) + "," +
              ScriptString(m.who) + "," + ScriptString(m.text) + "," + (m.deleted ? "1" : "0") + "]";
  }
  script += "];\n";
  script += kSearchScript;
  if (const Status rc = WriteWholeText(root / scriptName, script); rc != kOk) return rc;

  std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Export of " +
                     HtmlEscape(facts.backupName) + "</title><style>" + kStyle + "</style></head><body>\n";
  page += "<h1>Export of " + HtmlEscape(facts.backupName) + "</h1>\n<table class=\"meta\">";
  const auto meta = [&page](const char* label, const std::string& value) {
    if (!value.empty()) page += std::string("<tr><td>") + label + "</td><td>" + HtmlEscape(value) + "</td></tr>";
  };
  meta("Serial number", facts.serialNumber);
  meta("Backup made", facts.backupDate.empty() ? std::string() : IsoDate(facts.backupDate));
  meta("Exported", NowWithOffset());
  meta("Program", facts.program);
  meta("Filters", facts.filters.empty() ? "none" : facts.filters);
  meta("Files written", "export-log-" + stamp + ".csv (with SHA256SUMS-" + stamp + ")");
  page += "</table>\n<h2>Search the messages</h2>\n<input id=\"q\" type=\"search\" placeholder=\"a word\" "
          "oninput=\"search()\" autofocus> <span id=\"found\"></span><div id=\"hits\"></div>\n";
  page += "<h2>Categories</h2>\n<table><tr><th>Category</th><th>Live</th><th>Deleted</th><th>Of them from the "
          "log</th><th>Dates</th></tr>\n";
  for (const auto& [name, tally] : categories) page += "<tr><td>" + HtmlEscape(name) + "</td>" + Counts(tally) + "</tr>\n";
  page += "</table>\n";
  if (!conversations.empty()) {
    page += "<h2>Conversations</h2>\n<table><tr><th>With</th><th>Live</th><th>Deleted</th><th>Of them from the "
            "log</th><th>Dates</th></tr>\n";
    for (const IndexedConversation& c : conversations) {
      page += "<tr><td><a href=\"" + HtmlEscape(Link(root, c.page)) + "\">" + HtmlEscape(c.title) + "</a></td>" +
              Counts(c.tally) + "</tr>\n";
    }
    page += "</table>\n";
  }
  page += "<script src=\"" + HtmlEscape(scriptName) + "\"></script>\n</body></html>\n";
  return WriteWholeText(root / "index.html", page);
}

}  // namespace dunmere
