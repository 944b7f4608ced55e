#include "demohost/DemoBot.h"

#include <array>

#include "text/Codec.h"

namespace {

// The animation bytes of the view: 0x01 opens and closes the animated part,
// 0x02 starts the next frame.
const std::string kWalkingWombat =
    "\x01" "(^_^)   " "\x02" " (^o^)  " "\x02" "  (^_-) " "\x02" "   (^o^)" "\x01";

std::array<std::string, 6> Remarks(unsigned port) {
  return {
      Sjis("説明書は http://www.example.com/wombat/ にあります。"),
      Sjis("ご意見は wombat@example.com までどうぞ。"),
      Sjis("今日の★キーワード★は「ＷＯＭＢＡＴ」です。強調語に登録してみてください。"),
      Sjis("散歩中 ") + kWalkingWombat + Sjis(" てくてく"),
      Sjis("参加者一覧は /W、個人あてのメッセージは /P ID 本文、退室は /E です。"),
      "telnet://localhost:" + std::to_string(port) +
          Sjis("/ にもう一つ Wombat をつなぐと二人で話せます。"),
  };
}

}  // namespace

std::string TDemoBot::Handle() { return Sjis("ウォンボット"); }

std::string TDemoBot::NextRemark(unsigned port) {
  const auto remarks = Remarks(port);
  const std::string& remark = remarks[FNext % remarks.size()];
  ++FNext;
  return remark;
}

std::string TDemoBot::Greeting(const std::string& handle) {
  return handle + Sjis(" さん、いらっしゃい！ ") + kWalkingWombat;
}

std::string TDemoBot::PageAnswer() {
  return Sjis("ボットです。会議室でお待ちしています。");
}
