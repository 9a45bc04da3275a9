// Screening in the window: the decision keys and menu commands on one or several rows, the reason
// picker, the screening columns, filters and counts, the summary's labels and note, the reasons
// editor and the generations' yields.
#include <QSettings>
#include <QStatusBar>
#include <filesystem>
#include <fstream>

#include "window_fixture.h"

namespace wendrel {
namespace {

class ScreeningWindowTest : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Dialogs open without blocking; the test's script works them, as a user would, and closes them.
    window->Screening().SetDialogRunner([this](QDialog& dialog) {
      ++dialogsShown;
      dialog.show();
      if (dialogScript) dialogScript(dialog);
      const bool accepted = dialog.result() == QDialog::Accepted;
      dialog.hide();
      return accepted;
    });
  }

  const ScreeningBook& Book() const { return window->Chain.Screenings(); }
  static int DecisionColumn(const ListView& list) { return list.columnCount() - ScreeningControls::kColumns; }
  // The rows at these positions selected, the last one current.
  static void Select(ListView& list, std::initializer_list<int> positions) {
    list.clearSelection();
    for (const int position : positions) {
      list.setCurrentItem(list.Row(position), 0, QItemSelectionModel::NoUpdate);
      list.Row(position)->setSelected(true);
    }
  }
  // Presses a reason picker's keys.
  void PickWith(std::vector<Qt::Key> keys, std::string* offered = nullptr) {
    dialogScript = [keys, offered](QDialog& dialog) {
      auto& picker = dynamic_cast<ReasonPicker&>(dialog);
      if (offered) *offered = picker.Chosen();
      for (const Qt::Key key : keys) QTest::keyClick(picker.Reasons, key);
    };
  }

  // A session kept in a file (the autosave one) with publication 2 grown: it brings 1, 3 and 4.
  void GrowPearl2IntoAFile() {
    const std::string folder = work.Path("data");
    std::filesystem::create_directories(folder);
    window->StartAutosave(folder);
    ColdStart();
    SearchBy(1, "Citation analysis");
    int row2 = 0;
    for (int position = 1; position <= window->SearchResult->RowCount(); ++position)
      if (window->SearchResult->Row(position)->text(6) == "2") row2 = position;
    ASSERT_GT(row2, 0);
    ChooseFromMenu(*window->SearchResult, row2, window->mAddPearl);
  }

  int dialogsShown = 0;
  std::function<void(QDialog&)> dialogScript;
};

// GrowTwoPearls, by record: Pearl List 3, 1; Cited List 2, 3; Citing List 4, 1, 5.
TEST_F(ScreeningWindowTest, KeysDecideOnTheSelectedRowsAndTheCaptionsCountThem) {
  GrowTwoPearls();
  ListView& citing = *window->CitingList;
  const int decision = DecisionColumn(citing);
  EXPECT_EQ(window->CitingStatus->text(), " 3 articles citing pearl articles");

  Select(citing, {1});
  QTest::keyClick(&citing, Qt::Key_I);
  EXPECT_EQ(Book().Of(4).verdict, Verdict::Included);
  EXPECT_EQ(citing.Row(1)->text(decision), "included");
  EXPECT_TRUE(citing.Row(1)->data(decision, Qt::BackgroundRole).isValid()) << "a colour mark";
  EXPECT_EQ(window->CitingStatus->text(), " 3 articles citing pearl articles, 1 included, 0 excluded, 2 to screen");
  EXPECT_EQ(window->CitedStatus->text(), " 2 articles cited by pearl articles") << "no decision among its rows";
  // With Ctrl the letters are no decisions.
  QTest::keyClick(&citing, Qt::Key_M, Qt::ControlModifier);
  EXPECT_EQ(Book().Of(4).verdict, Verdict::Included);

  // Two rows at once; record 1, a pearl, shows its decision in the Pearl List too.
  Select(citing, {2, 3});
  QTest::keyClick(&citing, Qt::Key_M);
  EXPECT_EQ(Book().Of(1).verdict, Verdict::Maybe);
  EXPECT_EQ(Book().Of(5).verdict, Verdict::Maybe);
  EXPECT_EQ(Book().Of(4).verdict, Verdict::Included) << "a row not selected";
  const int pearlRow = FormMain::FindListRow(*window->PearlList, 1);
  EXPECT_EQ(window->PearlList->Row(pearlRow)->text(DecisionColumn(*window->PearlList)), "maybe");
  EXPECT_EQ(window->CitingStatus->text(),
            " 3 articles citing pearl articles, 1 included, 0 excluded, 2 maybe, 0 to screen");
  EXPECT_EQ(window->PearlStatus->text(), " 2 items in the pearl list, 0 included, 0 excluded, 1 maybe, 1 to screen");

  // The decision column sorts.
  citing.ColumnClick(decision);
  EXPECT_EQ(citing.Row(1)->text(decision), "included");
  EXPECT_EQ(citing.Row(3)->text(decision), "maybe");

  // U undoes: with no decision left the caption is as it was; the history keeps every change.
  Select(citing, {1, 2, 3});
  QTest::keyClick(&citing, Qt::Key_U);
  for (const int32_t article : {1, 4, 5}) EXPECT_EQ(Book().Of(article).verdict, Verdict::Undecided) << article;
  EXPECT_EQ(window->CitingStatus->text(), " 3 articles citing pearl articles");
  EXPECT_EQ(citing.Row(1)->text(decision), "");
  EXPECT_FALSE(citing.Row(1)->data(decision, Qt::BackgroundRole).isValid());
  EXPECT_EQ(Book().History().size(), 6u);

  // Known papers count apart, with or without decisions.
  window->Chain.Screenings().SetKnown(5, true);
  window->RefreshLists();
  EXPECT_EQ(window->CitingStatus->text(), " 3 articles citing pearl articles, 1 known");
  EXPECT_EQ(citing.Row(FormMain::FindListRow(citing, 5))->text(decision + 1), "known");
}

// E asks the reason: the last one is offered first and Enter takes it; Escape decides nothing.
TEST_F(ScreeningWindowTest, ExclusionTakesItsReasonFromThePicker) {
  GrowTwoPearls();
  ListView& cited = *window->CitedList;
  std::string offered;
  PickWith({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, &offered);
  Select(cited, {1});
  QTest::keyClick(&cited, Qt::Key_E);
  EXPECT_EQ(offered, DefaultExclusionReasons()[0]) << "no reason used yet: the first";
  EXPECT_EQ(Book().Of(2).verdict, Verdict::Excluded);
  EXPECT_EQ(Book().Of(2).reason, "wrong outcome");
  EXPECT_EQ(cited.Row(1)->text(DecisionColumn(cited)), "excluded (wrong outcome)");
  EXPECT_EQ(window->CitedStatus->text(), " 2 articles cited by pearl articles, 0 included, 1 excluded, 1 to screen");

  // Escape: the row keeps its decision.
  PickWith({Qt::Key_Escape});
  Select(cited, {2});
  QTest::keyClick(&cited, Qt::Key_E);
  EXPECT_EQ(dialogsShown, 2);
  EXPECT_EQ(Book().Of(3).verdict, Verdict::Undecided);

  // Enter alone: the last reason, through the Article menu this time.
  PickWith({Qt::Key_Return}, &offered);
  ChooseFromMenu(cited, 2, window->Screening().mExclude);
  EXPECT_EQ(offered, "wrong outcome");
  EXPECT_EQ(Book().Of(3).reason, "wrong outcome");
}

// The Article menu decides on a list's row and on a search result that is one of the chain's
// articles; a result the chain does not hold cannot be decided on.
TEST_F(ScreeningWindowTest, MenuDecidesOnSearchResultsOfTheChain) {
  GrowTwoPearls();
  ScreeningControls& screening = window->Screening();
  ChooseFromMenu(*window->PearlList, 1, screening.mInclude);  // publication 2
  EXPECT_EQ(Book().Of(window->Chain.FindIndex("2", "", "")).verdict, Verdict::Included);

  window->ASQField[2]->clear();
  SearchBy(1, "mining");
  ListView& results = *window->SearchResult;
  const int decision = DecisionColumn(results);
  const auto resultRow = [&results](const char* pk) {
    for (int position = 1; position <= results.RowCount(); ++position)
      if (results.Row(position)->text(6) == pk) return position;
    return 0;
  };
  ASSERT_GT(resultRow("2"), 0);
  EXPECT_EQ(results.Row(resultRow("2"))->text(decision), "included");
  ChooseFromMenu(results, resultRow("4"), screening.mMaybe);
  const int32_t record4 = window->Chain.FindIndex("4", "", "");
  EXPECT_EQ(Book().Of(record4).verdict, Verdict::Maybe);
  ListView& citing = *window->CitingList;
  EXPECT_EQ(citing.Row(FormMain::FindListRow(citing, record4))->text(DecisionColumn(citing)), "maybe");

  // A result the chain does not hold: the commands are off, the key says why.
  window->Chain.Clear();
  window->RefreshLists();
  ChooseFromMenu(results, 1, screening.mInclude);
  EXPECT_FALSE(screening.mInclude->isEnabled());
  QTest::keyClick(&results, Qt::Key_I);
  EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Only the chain's articles are screened"));
  EXPECT_TRUE(Book().History().empty());
}

// The filters leave rows out with the text filter, a decision that hides the current row moves on
// to the next one shown, and the filters are kept with the settings.
TEST_F(ScreeningWindowTest, FiltersHideDecidedAndKnownRowsAndAreKept) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(work.Path("config")));
  window->RestoreSettings();
  GrowTwoPearls();
  ListView& citing = *window->CitingList;
  ScreeningControls& screening = window->Screening();
  const auto shown = [&citing] {
    std::vector<std::string> rows;
    for (int k = 1; k <= citing.RowCount(); ++k)
      if (!citing.Row(k)->isHidden()) rows.push_back(ListView::SubItem(citing.Row(k), 7));
    return rows;
  };
  screening.FilterButton[2]->menu()->actions()[0]->trigger();  // undecided only
  EXPECT_TRUE(screening.Filter(2).undecidedOnly);
  EXPECT_EQ(shown(), (std::vector<std::string>{"4", "1", "5"}));

  Select(citing, {1});
  emit citing.itemClicked(citing.Row(1), 0);
  QTest::keyClick(&citing, Qt::Key_I);
  EXPECT_EQ(shown(), (std::vector<std::string>{"1", "5"}));
  EXPECT_EQ(ListView::SubItem(citing.currentItem(), 7), "1") << "the cursor goes on to the next row shown";
  EXPECT_EQ(window->CurrentIndex, 1) << "and the summary with it";
  // A selected row the filter hides is not decided on unseen.
  citing.Row(FormMain::FindListRow(citing, 4))->setSelected(true);
  QTest::keyClick(&citing, Qt::Key_M);
  EXPECT_EQ(Book().Of(4).verdict, Verdict::Included);
  EXPECT_EQ(Book().Of(1).verdict, Verdict::Maybe);

  screening.SetFilter(2, {.hideExcluded = true, .hideKnown = true});
  window->Chain.Screenings().Decide(5, Verdict::Excluded, "duplicate");
  window->Chain.Screenings().SetKnown(1, true);
  window->RefreshLists();
  EXPECT_EQ(shown(), (std::vector<std::string>{"4"}));
  window->ListFilter[2]->setText("zebra");
  EXPECT_TRUE(shown().empty()) << "with the text filter";
  window->ListFilter[2]->clear();
  EXPECT_EQ(citing.RowCount(), 3) << "the rows are left out, not removed";

  window->SaveSettings();
  MakeWindow(s_service->BaseAddress());
  window->RestoreSettings();
  EXPECT_FALSE(window->Screening().Filter(2).undecidedOnly);
  EXPECT_TRUE(window->Screening().Filter(2).hideExcluded);
  EXPECT_TRUE(window->Screening().Filter(2).hideKnown);
  EXPECT_FALSE(window->Screening().Filter(0).Any());
  EXPECT_TRUE(window->Screening().FilterButton[2]->menu()->actions()[1]->isChecked());
}

// Labels and the note are kept on Enter or on leaving the field, for the article they were typed
// for, even when the click that leaves them shows another article.
TEST_F(ScreeningWindowTest, SummaryKeepsLabelsAndNoteOfItsArticle) {
  GrowTwoPearls();
  ScreeningControls& screening = window->Screening();
  Click(*window->CitingList, 1);  // record 4
  ASSERT_EQ(window->CurrentIndex, 4);
  EXPECT_EQ(screening.DecisionText->text(), "undecided \u00b7 generation 0");
  ASSERT_TRUE(screening.LabelsField->isEnabled());
  screening.LabelsField->setFocus();
  QTest::keyClicks(screening.LabelsField, " rct; pilot , rct,");
  QTest::keyClick(screening.LabelsField, Qt::Key_Return);
  EXPECT_EQ(Book().Of(4).labels, (std::vector<std::string>{"rct", "pilot"}));
  EXPECT_EQ(screening.LabelsField->text(), "rct, pilot");

  QTest::keyClicks(screening.NoteField, "check the dose");
  Click(*window->CitingList, 3);  // record 5: the field loses its edit to record 4, not to 5
  EXPECT_EQ(Book().Of(4).note, "check the dose");
  EXPECT_EQ(Book().Of(5).note, "");
  EXPECT_EQ(screening.NoteField->text(), "");
  EXPECT_TRUE(window->SessionChanged);

  window->Chain.Screenings().Decide(5, Verdict::Excluded, "wrong language");
  window->Chain.Screenings().SetKnown(5, true);
  window->ShowSummary(5);
  EXPECT_EQ(screening.DecisionText->text(), "excluded (wrong language) \u00b7 known \u00b7 generation 0");
  Click(*window->CitingList, 1);
  EXPECT_EQ(screening.NoteField->text(), "check the dose");
  EXPECT_EQ(screening.LabelsField->text(), "rct, pilot");

  // A new session: nothing to screen in the summary.
  host.QueueAnswer(MessageResult::Yes);
  window->mNew->trigger();
  EXPECT_FALSE(screening.NoteField->isEnabled());
  EXPECT_EQ(screening.DecisionText->text(), "");
}

TEST_F(ScreeningWindowTest, ReasonsAreEditedAndGenerationsShowTheirYield) {
  ColdStart();
  ScreeningControls& screening = window->Screening();
  dialogScript = [](QDialog& dialog) {
    auto& editor = dynamic_cast<ReasonsEditor&>(dialog);
    editor.Text->setPlainText("not a trial\n\n  wrong age group  \nnot a trial");
    editor.accept();
  };
  screening.mExclusionReasons->trigger();
  EXPECT_EQ(Book().Reasons(), (std::vector<std::string>{"not a trial", "wrong age group"}));
  // Cancelled: the list stays; emptied: the usual reasons come back.
  dialogScript = [](QDialog& dialog) { dynamic_cast<ReasonsEditor&>(dialog).Text->clear(); };
  screening.mExclusionReasons->trigger();
  EXPECT_EQ(Book().Reasons().size(), 2u);
  dialogScript = [](QDialog& dialog) {
    dynamic_cast<ReasonsEditor&>(dialog).Text->clear();
    dialog.accept();
  };
  screening.mExclusionReasons->trigger();
  EXPECT_EQ(Book().Reasons(), DefaultExclusionReasons());

  screening.mGenerations->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_NE(host.Messages()[0].text.find("No article's generation is known yet"), std::string::npos);
  ScreeningBook& book = window->Chain.Screenings();
  for (int32_t article = 1; article <= 5; ++article) book.SetGeneration(article, article <= 2 ? 0 : 1);
  book.Decide(1, Verdict::Included);
  book.Decide(3, Verdict::Excluded);
  screening.mGenerations->trigger();
  ASSERT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Messages()[1].text,
            "Generation 0 (the first pearls and what they brought): 2 articles, 1 included\n"
            "Generation 1: 3 new articles, none included\n");
}

// A library's entries mark the articles they match known, now and as articles arrive; a near miss
// is listed, not marked.
TEST_F(ScreeningWindowTest, KnownPapersAreImportedAndMatchedAsArticlesArrive) {
  const std::string library = work.Path("library.bib");
  std::ofstream(library) << "@article{a, title={Text Mining: A Survey}, doi={https://doi.org/10.1000/JTS.2001.1}}\n"
                            "@article{b, title={Mining citation networks}, year={2011}, author={O'Brien, B.}}\n"
                            "@article{c, title={Networks of mining}, year={2001}, author={Smith, Eve}}\n"
                            "@article{d, title={Something else entirely}, year={1999}}\n";
  ColdStart();
  chosenFiles.push_back(QString::fromStdString(library));
  window->Screening().mImportKnown->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "4 entries read (BibTeX): 0 known among the session's articles, 0 possible, 4 not among them.");

  GrowTwoPearls();
  for (auto [pk, list] : {std::pair{"1", window->CitedList}, std::pair{"3", window->CitingList}}) {
    const int32_t article = window->Chain.FindIndex(pk, "", "");
    EXPECT_TRUE(Book().Of(article).known) << pk;
    const int16_t row = FormMain::FindListRow(*list, article);
    ASSERT_GT(row, 0) << pk;
    EXPECT_EQ(list->Row(row)->text(DecisionColumn(*list) + 1), "known") << pk;
  }
  EXPECT_FALSE(Book().Of(window->Chain.FindIndex("4", "", "")).known) << "a year eleven years off";

  // Imported again, the entries held already are not added twice; the near miss is named.
  chosenFiles.push_back(QString::fromStdString(library));
  window->Screening().mImportKnown->trigger();
  const std::string& told = host.Messages().back().text;
  EXPECT_EQ(told.rfind("4 entries read (BibTeX): 2 known among the session's articles, 1 possible, 1 not among them.", 0), 0u)
      << told;
  EXPECT_NE(told.find("may be 4: "), std::string::npos) << told;
  EXPECT_EQ(Book().KnownPapers().size(), 4u);

  // A file that is no library changes nothing.
  std::ofstream(work.Path("notes.txt")) << "just some words\n";
  chosenFiles.push_back(QString::fromStdString(work.Path("notes.txt")));
  window->Screening().mImportKnown->trigger();
  EXPECT_EQ(host.Messages().back().text.rfind("Cannot import ", 0), 0u);
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  EXPECT_EQ(Book().KnownPapers().size(), 4u);
}

// The included articles become pearls of the next generation and are grown; what they bring new
// is of that generation.
TEST_F(ScreeningWindowTest, IncludedArticlesGrowAsTheNextGeneration) {
  window->mGrowIncluded->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text.rfind("Included articles are grown through a session file", 0), 0u);

  ASSERT_NO_FATAL_FAILURE(GrowPearl2IntoAFile());
  const int32_t record3 = window->Chain.FindIndex("3", "", "");
  ListView& citing = *window->CitingList;
  Select(citing, {FormMain::FindListRow(citing, record3)});
  QTest::keyClick(&citing, Qt::Key_I);

  window->mGrowIncluded->trigger();
  EXPECT_EQ(window->PearlList->RowCount(), 2);
  EXPECT_TRUE(window->Chain.GetRecord(record3).IsPearl);
  EXPECT_EQ(window->statusBar()->currentMessage(), "1 of 1 pearl grown");
  const int32_t record5 = window->Chain.FindIndex("5", "", "");
  ASSERT_GT(record5, 0) << "publication 5 cites 3";
  EXPECT_EQ(citing.Row(FormMain::FindListRow(citing, record5))->text(DecisionColumn(citing) + 2), "1");
  window->Screening().mGenerations->trigger();
  EXPECT_EQ(host.Messages().back().text,
            "Generation 0 (the first pearls and what they brought): 4 articles, 1 included\n"
            "Generation 1: 1 new article, none included\n");
  // Nothing more to grow.
  window->mGrowIncluded->trigger();
  EXPECT_EQ(window->statusBar()->currentMessage(), "No included article waits to be grown: each is a pearl already");
}

TEST_F(ScreeningWindowTest, RefreshMarksWhatIsNewSinceTheLastRun) {
  window->mRefreshSession->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text.rfind("A session is refreshed through its file", 0), 0u);

  ASSERT_NO_FATAL_FAILURE(GrowPearl2IntoAFile());
  ListView& citing = *window->CitingList;
  const int newColumn = DecisionColumn(citing) + 3;

  // The same corpus again: run 2 finds nothing new.
  window->mRefreshSession->trigger();
  EXPECT_EQ(host.Messages().back().text.rfind("Refreshed as run 2: 0 new articles, 0 no longer listed, from 1 pearl", 0),
            0u)
      << host.Messages().back().text;
  for (int position = 1; position <= citing.RowCount(); ++position)
    EXPECT_EQ(citing.Row(position)->text(newColumn), "");

  // What a pearl grown since brings is of the latest run: new.
  const int32_t record3 = window->Chain.FindIndex("3", "", "");
  Select(citing, {FormMain::FindListRow(citing, record3)});
  QTest::keyClick(&citing, Qt::Key_I);
  window->mGrowIncluded->trigger();
  const int32_t record5 = window->Chain.FindIndex("5", "", "");
  ASSERT_GT(record5, 0) << "publication 5 cites 3";
  EXPECT_EQ(citing.Row(FormMain::FindListRow(citing, record5))->text(newColumn), "new");
  EXPECT_EQ(citing.Row(FormMain::FindListRow(citing, window->Chain.FindIndex("4", "", "")))->text(newColumn), "");

  window->Screening().SetFilter(2, {.newOnly = true});
  int shown = 0;
  for (int position = 1; position <= citing.RowCount(); ++position) {
    if (citing.Row(position)->isHidden()) continue;
    ++shown;
    EXPECT_EQ(citing.Row(position)->text(newColumn), "new");
  }
  EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace wendrel
