// Only the carrier of the tests' precompiled Qt headers.
int main()
{
    return 0;
}
