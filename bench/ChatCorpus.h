// The benchmarks' received text: a deterministic mix of a chat host's kinds
// of lines in code page 932 (conference lines, participant rows, page
// notices, URLs and mail addresses, plain and empty lines) with CR LF ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/Codec.h"

// A deterministic mix of the host's kinds of lines, about `bytes` long, with
// CR LF line ends.
inline std::string ChatCorpus(size_t bytes) {
  const std::vector<std::string> handles = {Sjis("たろう"), Sjis("はなこ"), "Quokka",
                                            Sjis("ゆうき"), "wombat"};
  const std::vector<std::string> says = {
      Sjis("こんにちは、今日はいい天気ですね"),
      Sjis("会議の資料は http://www.example.co.jp/meeting/2024/minutes.html にあります"),
      Sjis("了解です。メールは someone.else@example.ne.jp までお願いします"),
      "ok, see you later",
      Sjis("ＡＢＣの件はどうなりましたか？　まだ返事がありません"),
  };
  std::string corpus;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  while (corpus.size() < bytes) {
    const std::string& handle = handles[next(static_cast<uint32_t>(handles.size()))];
    const std::string& say = says[next(static_cast<uint32_t>(says.size()))];
    const std::string number = std::to_string(1 + next(30));
    const std::string id = "ABC" + std::to_string(10000 + next(89999));
    switch (next(8)) {
      case 0:
      case 1:
      case 2:
        corpus.append("(").append(number).append(",").append(handle).append(") ").append(say);
        break;
      case 3:
        corpus.append("(TALK,").append(id).append(",").append(handle).append(") ").append(say);
        break;
      case 4:
        corpus.append(" ").append(number).append(" TALK ").append(id).append(" ").append(handle);
        break;
      case 5:
        corpus.append("  ").append(id).append(Sjis("のユーザーからのメッセージです－")).append(say);
        break;
      case 6:
        corpus.append(say).append(" ").append(say);  // folds at 80 columns
        break;
      default:  // an empty line
        break;
    }
    corpus += "\r\n";
  }
  return corpus;
}
