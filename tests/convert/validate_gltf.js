// Runs the Khronos glTF validator on each file named; prints its findings and exits 1
// when any file has an error. Usage: node validate_gltf.js VALIDATOR_MODULE FILE...
const fs = require('fs');
const path = require('path');
const validator = require(process.argv[2]);

const severities = ['error', 'warning', 'info', 'hint'];

async function validate(file) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
        uri: path.basename(file),
        externalResourceFunction: (uri) =>
            fs.promises.readFile(path.join(path.dirname(file), decodeURIComponent(uri)))
                .then((data) => new Uint8Array(data)),
    });
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos`);
    for (const m of issues.messages) {
        console.log(`  ${severities[m.severity]} ${m.code} ${m.pointer || ''}: ${m.message}`);
    }
    return issues.numErrors === 0;
}

(async () => {
    let clean = true;
    for (const file of process.argv.slice(3)) {
        clean = (await validate(file)) && clean;
    }
    process.exit(clean ? 0 : 1);
})().catch((error) => {
    console.log(`validator failed: ${error}`);
    process.exit(1);
});
