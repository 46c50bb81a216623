// tavrenix-cli seasons: the four client generations with their captions and what each makes,
// straight from the production table.
#include "app/cli/commands.h"

#include "app/production_table.h"
#include "platform/program_environment.h"

#include <iostream>

namespace tav {

namespace {

std::string fileName(std::string_view tableName) { return utf8(pathIn("", tableName)); }

void printSeasons()
{
    const StartupLogoLayout& logo = startupLogoLayout();
    for (int s = 0; s < kSeasonCount; ++s) {
        const SeasonLayout& season = seasonLayout(SeasonIndex(s));
        std::cout << s << ": " << season.caption << '\n';
        std::cout << "   " << logoTypeCaption(LogoType::StartupLogo) << ": ";
        if (season.hasStartupLogo)
            std::cout << logo.width << " x " << logo.height << '\n';
        else
            std::cout << "none (" << logo.noStartupLogoText << ")\n";
        std::cout << "   " << logoTypeCaption(LogoType::LoadingScreen) << ": " << season.fullWidth << " x "
                  << season.fullHeight << " in " << season.parts.size() << " parts:";
        for (const PartLayout& part : season.parts)
            std::cout << ' ' << fileName(part.ozjName) << " (" << part.width << " x " << part.height << ")";
        std::cout << '\n';
    }
}

}  // namespace

void addSeasonsCommand(CLI::App& app)
{
    app.add_subcommand("seasons", "List the client generations and the images each one makes")->callback(printSeasons);
}

}  // namespace tav
