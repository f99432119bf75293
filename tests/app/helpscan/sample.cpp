// Sample source for the help keyword scan; never compiled.
// showHelp(QStringLiteral("Commented Window")) in a comment is no call.
const QString kConstant = QStringLiteral("Constant Window");
const char* const kTable[] = {"Table One", "Table Two"};
void showHelp(const QString& keyword);

Sample::Sample(std::function<void(const QString& keyword)> help) : m_help(std::move(help)) {}

void Sample::run()
{
    showHelp(QStringLiteral("Literal Window"));
    m_help(kConstant);
    services.help(QString::fromLatin1(kTable[index]));
    auto forward = [](const QString& keyword) { m_services.showHelp(keyword); };
    showHelp(mystery);
    parser.showHelp(0);
    if (m_services.showHelp)
        DoHelp();
}
