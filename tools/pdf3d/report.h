// What pdf3d tells about each model: the human table and the JSON summary.
#pragma once

#include "tools/pdf3d/pdf_discovery.h"
#include "tools/pdf3d/worker_process.h"

#include <string>
#include <vector>

struct ModelReport {
    FoundModel found;
    bool ran = false;
    WorkerRun run;
    std::vector<std::string> files;  // written exports
    std::vector<std::string> errors; // exports that failed
    bool succeeded() const
    {
        return found.problem.empty() && ran && run.outcome == WorkerOutcome::Ok && errors.empty();
    }
};

std::string modelLabel(const FoundModel& model); // "p1 3D #12"

void printListTable(const std::string& pdf, const PdfScan& scan);
void printExportTable(const std::string& pdf, const std::vector<ModelReport>& reports);

std::string jsonSummary(const std::string& pdf, const PdfScan& scan, const std::vector<ModelReport>& reports);
