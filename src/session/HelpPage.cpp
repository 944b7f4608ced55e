#include "session/HelpPage.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const char* const kHelpPage = R"(<html><body>
<h2>Wombat ヘルプ</h2>
<p>Wombat は、パソコン通信のホストやチャットサーバーにつなぐ通信端末です。
telnet、シリアルポートのモデム、電話回線のモデムで接続できます。
文字はすべてシフトJIS（コードページ932）で扱います。</p>

<h3>目次</h3>
<ul>
<li><a href="#access">アクセスリスト</a></li>
<li><a href="#connect">接続と切断</a></li>
<li><a href="#input">入力とファンクションキー</a></li>
<li><a href="#view">画面と履歴</a></li>
<li><a href="#files">ファイルの場所</a></li>
</ul>

<h3 id="access">アクセスリスト</h3>
<p>接続先は「ｱｸｾｽﾘｽﾄ」メニューで追加・編集・削除します。
ホスト名を入れるとポート番号を、電話番号を入れるとモデムを選べます。
接続スクリプトは、<code>[ ]</code> で囲んだ文字列が届くのを待ってから次の文字列を送ります。
<code>'</code> は改行、<code>$I</code> はID、<code>$P</code> はパスワード、
<code>*</code> は1秒の待ち、<code>;</code> から後ろはコメントです。</p>

<h3 id="connect">接続と切断</h3>
<p>アクセス名を選んで「接続」(Ctrl+O) を押します。「切断」(Ctrl+D) は確認してから回線を切ります。
スクリプトの途中で止めるには「中止」(Esc) を押します。
接続中はステータス行に接続時間が出ます。</p>

<h3 id="input">入力とファンクションキー</h3>
<p>下の入力行に書いて Enter で送信します。F1～F12（Shift、Ctrl との組み合わせも）には
よく使う文字列を登録でき、押すと入力行に入ります（「その他」→「ﾌｧﾝｸｼｮﾝｷｰの設定」）。</p>

<h3 id="view">画面と履歴</h3>
<p>受信した行は下の画面に流れます。上へスクロールすると、上側に長い履歴が開き、
最後までスクロールすると閉じます。URL とメールアドレスは色が付き、
右クリックのメニューから開く・コピーする・ショートカットを作ることができます。
色・フォント・強調する文字などは「その他」→「画面の設定」(Alt+Enter) で変えられます。</p>

<h3 id="files">ファイルの場所</h3>
<p>アクセスリスト（<code>*.ap</code>）、<code>FuncKey.txt</code>、<code>Replace.txt</code>、
通話記録 <code>Phone.txt</code>、接続音と切断音は、データフォルダにあります。
環境変数 <code>WOMBAT_HOME</code> があればそのフォルダ、なければ
<code>~/.local/share/Zeb/Wombat</code> です。ログの保存先は「その他」→「ﾌｫﾙﾀﾞの設定」で決めます。</p>
</body></html>)";

}  // namespace

THelpForm::THelpForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Wombat ヘルプ");
  auto* browser = new QTextBrowser(this);
  browser->setObjectName("HelpText");
  browser->setHtml(QString::fromUtf8(kHelpPage));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser);
  resize(520, 480);
}
