// Runs the Khronos glTF validator on GLB files: node validate_glb.js VALIDATOR_DIR FILE...
// Prints one line per file (errors, warnings, first messages); exit code 1 when any
// file has an error.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require(path.resolve(process.argv[2]));

async function main() {
    let failed = false;
    for (const file of process.argv.slice(3)) {
        const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
            maxIssues: 20,
            externalResourceFunction: () => Promise.reject(new Error('no external resources')),
        });
        const errors = report.issues.numErrors;
        console.log(`${file}: ${errors} errors, ${report.issues.numWarnings} warnings`);
        for (const m of report.issues.messages.filter(m => m.severity <= 1).slice(0, 10))
            console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
        if (errors > 0)
            failed = true;
    }
    process.exit(failed ? 1 : 0);
}
main().catch(e => { console.error(e.message); process.exit(2); });
